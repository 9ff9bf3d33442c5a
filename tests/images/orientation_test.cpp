#include <gtest/gtest.h>

#include <tiffio.h>

#include <array>
#include <string>

#include "images/decode_test_util.h"
#include "images/image_expectations.h"
#include "images/load_image_file.h"
#include "loader/pair_composer.h"
#include "support/temp_dir.h"
#include "tiff_fixtures.h"

namespace {

// A 32 x 16 picture of four flat quarters, each two JPEG blocks wide, so
// that a lossy file keeps them nearly exact.
enum Quarter { red, green, blue, white };
const Rgb kColours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
constexpr int kWidth = 32, kHeight = 16;

TestPicture quarters() {
    TestPicture p;
    p.width = kWidth;
    p.height = kHeight;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Quarter q = y < kHeight / 2 ? (x < kWidth / 2 ? red : green) : (x < kWidth / 2 ? blue : white);
            for (int c = 0; c < 3; ++c) p.rgba.push_back(kColours[q][c]);
            p.rgba.push_back(255);
        }
    return p;
}

// Stored top left red, top right green, bottom left blue, bottom right
// white; what a photo viewer shows for each Orientation value, quarters
// listed top left, top right, bottom left, bottom right.
struct Shown {
    int orientation;
    bool sidesSwapped;
    std::array<Quarter, 4> quarters;
};
const Shown kShown[] = {
    {1, false, {red, green, blue, white}},
    {2, false, {green, red, white, blue}},
    {3, false, {white, blue, green, red}},
    {4, false, {blue, white, red, green}},
    {5, true, {red, blue, green, white}},
    {6, true, {blue, red, white, green}},
    {7, true, {white, green, blue, red}},
    {8, true, {green, white, red, blue}},
};

void expectShown(const RGBImage* image, const Shown& shown, int tolerance) {
    const int width = shown.sidesSwapped ? kHeight : kWidth;
    const int height = shown.sidesSwapped ? kWidth : kHeight;
    expectPicture(image, width, height, [&](int x, int y) {
        const int quarter = (y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1);
        return kColours[shown.quarters[std::size_t(quarter)]];
    }, tolerance);
}

std::string jpeg() { return jpegFile(quarters(), JpegKind::baseline, 100); }

TEST(Orientation, JpegExifValuesTurnThePictureAsAViewerDoes) {
    for (const Shown& shown : kShown) {
        SCOPED_TRACE(shown.orientation);
        for (bool bigEndian : {true, false})
            expectShown(decode(withApp1(jpeg(), exifOrientationBlock(shown.orientation, bigEndian))).get(),
                        shown, 8);
    }
}

TEST(Orientation, MissingBrokenOrOutOfRangeTagsMeanUpright) {
    const std::string xmp = "http://ns.adobe.com/xap/1.0/" + std::string(1, '\0') + "<x/>";
    const std::string turned = exifOrientationBlock(6);
    const struct {
        const char* what;
        std::string file;
    } cases[] = {
        {"no EXIF block", jpeg()},
        {"value 0", withApp1(jpeg(), exifOrientationBlock(0))},
        {"value 9", withApp1(jpeg(), exifOrientationBlock(9))},
        {"LONG instead of SHORT", withApp1(jpeg(), exifOrientationBlock(6, true, 4))},
        {"two values", withApp1(jpeg(), exifOrientationBlock(6, true, 3, 2))},
        {"directory cut off", withApp1(jpeg(), turned.substr(0, turned.size() - 10))},
        {"no TIFF header", withApp1(jpeg(), "Exif" + std::string(2, '\0') + "XX*" + std::string(9, '\0'))},
        {"only XMP", withApp1(jpeg(), xmp)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectShown(decode(c.file).get(), kShown[0], 8);
    }
    // An XMP block before the EXIF one does not hide it.
    expectShown(decode(withApp1(withApp1(jpeg(), turned), xmp)).get(), kShown[5], 8);
}

// An eXIf chunk holds the TIFF structure alone; some writers keep the JPEG
// block's "Exif" prefix in front of it.
TEST(Orientation, PngExifChunkTurnsThePictureAlike) {
    const std::string png = pngFile(quarters(), PngLayout::rgb);
    for (const Shown& shown : kShown) {
        SCOPED_TRACE(shown.orientation);
        for (bool bigEndian : {true, false}) {
            const std::string block = exifOrientationBlock(shown.orientation, bigEndian);
            expectShown(decode(withPngChunk(png, "eXIf", block.substr(6))).get(), shown, 0);
            expectShown(decode(withPngChunk(png, "eXIf", block)).get(), shown, 0);
        }
    }
    // A broken chunk means upright.
    const std::string turned = exifOrientationBlock(6).substr(6);
    expectShown(decode(withPngChunk(png, "eXIf", turned.substr(0, 12))).get(), kShown[0], 0);
    expectShown(decode(withPngChunk(png, "eXIf", exifOrientationBlock(9).substr(6))).get(), kShown[0], 0);
}

TEST(Orientation, TiffOrientationTagTurnsThePictureAlike) {
    TempDir dir;
    const TestPicture p = quarters();
    std::vector<unsigned char> samples;
    for (std::size_t i = 0; i < p.rgba.size(); ++i)
        if (i % 4 != 3) samples.push_back(p.rgba[i]);
    for (const Shown& shown : kShown) {
        SCOPED_TRACE(shown.orientation);
        TiffFixture f;
        f.width = kWidth;
        f.height = kHeight;
        f.samplesPerPixel = 3;
        f.photometric = PHOTOMETRIC_RGB;
        f.orientation = static_cast<std::uint16_t>(shown.orientation);
        const std::string path = dir.file("oriented.tif");
        ASSERT_TRUE(writeTiff(path, f, samples));
        expectShown(loadImageFile(path.c_str()).get(), shown, 0);
    }
}

// Pairs go by the shape a viewer shows: the stored 32 x 16 picture is a
// portrait once an orientation of 5 to 8 turns it.
TEST(Orientation, ThePairShapeIsTheUprightOne) {
    TempDir dir;
    const TestPicture p = quarters();
    std::vector<unsigned char> samples;
    for (std::size_t i = 0; i < p.rgba.size(); ++i)
        if (i % 4 != 3) samples.push_back(p.rgba[i]);
    for (const Shown& shown : kShown) {
        SCOPED_TRACE(shown.orientation);
        const Shape expected = shown.sidesSwapped ? Shape::Portrait : Shape::Landscape;
        const auto fromJpeg = decode(withApp1(jpeg(), exifOrientationBlock(shown.orientation)));
        ASSERT_TRUE(fromJpeg);
        EXPECT_EQ(shapeOf(fromJpeg->width, fromJpeg->height), expected);
        TiffFixture f;
        f.width = kWidth;
        f.height = kHeight;
        f.samplesPerPixel = 3;
        f.photometric = PHOTOMETRIC_RGB;
        f.orientation = static_cast<std::uint16_t>(shown.orientation);
        const std::string path = dir.file("oriented.tif");
        ASSERT_TRUE(writeTiff(path, f, samples));
        const auto fromTiff = loadImageFile(path.c_str());
        ASSERT_TRUE(fromTiff);
        EXPECT_EQ(shapeOf(fromTiff->width, fromTiff->height), expected);
    }
}

}  // namespace
