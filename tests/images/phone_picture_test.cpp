// HEIC, AVIF and WebP, read from the fixtures that make_phone_pictures.sh
// writes with Debian's encoders (CTest passes their folder in
// GLIMMORA_PHONE_PICTURES).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "images/decode_image_memory.h"
#include "images/decode_test_util.h"
#include "images/heif_decoder.h"
#include "images/image_expectations.h"
#include "images/image_orientation.h"
#include "images/load_image_file.h"
#include "images/webp_decoder.h"
#include "support/temp_dir.h"

namespace {

std::string fixturePath(const std::string& name) {
    const char* dir = std::getenv("GLIMMORA_PHONE_PICTURES");
    return std::string(dir ? dir : "phone-pictures") + "/" + name;
}

std::string fixtureBytes(const std::string& name) {
    const std::string bytes = readFile(fixturePath(name));
    // Thrown, so the test ends there: the cases would cut and patch bytes
    // that are not there.
    if (bytes.empty()) throw std::runtime_error(name + " missing: run make_phone_pictures.sh");
    return bytes;
}

std::unique_ptr<RGBImage> load(const std::string& name) {
    return loadImageFile(fixturePath(name).c_str());
}

// Mean absolute difference per sample; the sizes must agree.
double meanError(const RGBImage& got, const RGBImage& want) {
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    if (got.width != want.width || got.height != want.height) return 1e9;
    const std::size_t samples = std::size_t(got.width) * got.height * 3;
    double sum = 0;
    for (std::size_t i = 0; i < samples; ++i) sum += std::abs(int(got.pixels[i]) - int(want.pixels[i]));
    return sum / double(samples);
}

// Lossy encoders at the fixtures' qualities stay well inside this.
constexpr double kLossyMeanError = 4.0;

struct SourceCase {
    const char* file;
    const char* source;  // read with the saver's PNG or JPEG decoder
    double maxMeanError;
};

class PhonePictureSource : public testing::TestWithParam<SourceCase> {};

// The decoded picture against its source: size, orientation and content.
TEST_P(PhonePictureSource, DecodesLikeItsSource) {
    const SourceCase& c = GetParam();
    auto want = load(c.source);
    ASSERT_NE(want, nullptr) << c.source;
    auto got = load(c.file);
    ASSERT_NE(got, nullptr) << c.file;
    EXPECT_LE(meanError(*got, *want), c.maxMeanError) << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PhonePictureSource,
    testing::Values(SourceCase{"landscape.heic", "landscape.png", kLossyMeanError},
                    SourceCase{"portrait.heic", "portrait.png", kLossyMeanError},
                    SourceCase{"landscape.avif", "landscape.png", kLossyMeanError},
                    SourceCase{"portrait.avif", "portrait.png", kLossyMeanError},
                    SourceCase{"landscape.webp", "landscape.png", kLossyMeanError},
                    SourceCase{"portrait.webp", "portrait.png", kLossyMeanError},
                    SourceCase{"landscape-lossless.webp", "landscape.png", 0.0},
                    SourceCase{"portrait-lossless.webp", "portrait.png", 0.0},
                    // Tiles assembled into the whole picture.
                    SourceCase{"grid.avif", "wide.png", kLossyMeanError},
                    // Turned upright once by irot/imir; the EXIF block
                    // inside says the same again and must not count twice.
                    SourceCase{"clockwise.heic", "clockwise.jpg", kLossyMeanError}),
    [](const testing::TestParamInfo<SourceCase>& info) {
        std::string name = info.param.file;
        std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(ch); }, '_');
        return name;
    });

struct TurnCase {
    const char* file;
    Orientation turn;  // applied to the landscape source by hand
    double maxMeanError;
};

class PhonePictureTurn : public testing::TestWithParam<TurnCase> {};

TEST_P(PhonePictureTurn, IsShownUpright) {
    const TurnCase& c = GetParam();
    auto want = orientImage(load("landscape.png"), c.turn);
    ASSERT_NE(want, nullptr);
    auto got = load(c.file);
    ASSERT_NE(got, nullptr) << c.file;
    EXPECT_LE(meanError(*got, *want), c.maxMeanError) << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PhonePictureTurn,
    testing::Values(TurnCase{"irot.avif", Orientation::anticlockwise, kLossyMeanError},
                    TurnCase{"imir.avif", Orientation::mirrored, kLossyMeanError},
                    TurnCase{"clockwise.heic", Orientation::clockwise, kLossyMeanError},
                    TurnCase{"clockwise.webp", Orientation::clockwise, 0.0}));

// Solid regions whose colours are known: alpha over black as value x alpha,
// 10-bit samples rounded, animations by their first frame.
struct ColourCase {
    const char* file;
    int x, y;  // a pixel from the top left
    Rgb want;
    int tolerance;
};

class PhonePictureColour : public testing::TestWithParam<ColourCase> {};

TEST_P(PhonePictureColour, ShowsTheKnownColour) {
    const ColourCase& c = GetParam();
    auto got = load(c.file);
    ASSERT_NE(got, nullptr) << c.file;
    const Rgb pixel = pixelFromTop(*got, c.x, c.y);
    for (int ch = 0; ch < 3; ++ch)
        EXPECT_LE(std::abs(int(pixel[ch]) - int(c.want[ch])), c.tolerance)
            << c.file << " channel " << ch << " is " << int(pixel[ch]);
}

// The translucent half is (200, 100, 50) at alpha 128.
constexpr Rgb kHalfOverBlack{100, 50, 25};
constexpr Rgb kOpaqueHalf{40, 80, 160};

INSTANTIATE_TEST_SUITE_P(
    Formats, PhonePictureColour,
    testing::Values(ColourCase{"alpha.webp", 8, 8, kHalfOverBlack, 0},
                    ColourCase{"alpha.webp", 56, 8, kOpaqueHalf, 0},
                    ColourCase{"alpha.avif", 8, 8, kHalfOverBlack, 3},
                    ColourCase{"alpha.avif", 56, 8, kOpaqueHalf, 3},
                    ColourCase{"alpha.heic", 8, 8, kHalfOverBlack, 4},
                    ColourCase{"alpha.heic", 56, 8, kOpaqueHalf, 4},
                    ColourCase{"premultiplied.heic", 8, 8, kHalfOverBlack, 4},
                    ColourCase{"deep.avif", 8, 8, Rgb{51, 129, 253}, 0},
                    ColourCase{"animated.webp", 12, 8, Rgb{220, 30, 30}, 0},
                    ColourCase{"sequence.avif", 12, 8, Rgb{220, 30, 30}, 4}));

const char* const kEveryFormat[] = {"landscape.heic", "landscape.avif", "landscape.webp",
                                    "landscape-lossless.webp", "animated.webp", "grid.avif"};

TEST(PhonePictures, TruncatedFilesAreRefused) {
    for (const char* name : kEveryFormat) {
        const std::string bytes = fixtureBytes(name);
        for (const std::size_t keep : {bytes.size() / 2, bytes.size() - 1, std::size_t{40}}) {
            const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
            EXPECT_EQ(decodeImageMemory(data, keep), nullptr) << name << " cut to " << keep;
        }
    }
}

// A header that declares more pixels than the saver holds (20000 x 20000)
// is refused before anything is decoded or allocated for it.
TEST(PhonePictures, HugeDeclaredSizesAreRefused) {
    auto setBE32 = [](std::string& bytes, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (24 - 8 * i));
    };
    auto setLE24 = [](std::string& bytes, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 3; ++i) bytes[at + i] = char(value >> (8 * i));
    };
    for (const char* name : {"landscape.heic", "landscape.avif"}) {
        std::string bytes = fixtureBytes(name);
        // The image spatial extents property: box header, version and flags,
        // then width and height.
        const std::size_t ispe = bytes.find("ispe");
        ASSERT_NE(ispe, std::string::npos) << name;
        setBE32(bytes, ispe + 8, 20000);
        setBE32(bytes, ispe + 12, 20000);
        EXPECT_EQ(decode(bytes), nullptr) << name;
    }
    // An extended WebP's canvas, stored as size minus one: an animation's
    // frames are drawn on it.
    for (const char* name : {"clockwise.webp", "animated.webp"}) {
        std::string webp = fixtureBytes(name);
        ASSERT_EQ(webp.compare(12, 4, "VP8X"), 0) << name;
        setLE24(webp, 24, 19999);
        setLE24(webp, 27, 19999);
        EXPECT_EQ(decode(webp), nullptr) << name;
    }
}

// A stream decodes at the size it codes, whatever its ispe box says: a
// declared size other than the coded one is refused, not decoded larger.
TEST(PhonePictures, DeclaredSizesOtherThanTheCodedOneAreRefused) {
    struct Row {
        const char* name;
        std::uint32_t width, height;  // 0: left as it is
        bool shown;
    };
    const Row table[] = {
        {"landscape.heic", 0, 0, true},     {"landscape.heic", 64, 64, false}, {"landscape.heic", 96, 32, false},
        {"landscape.avif", 0, 0, true},     {"landscape.avif", 64, 64, false}, {"landscape.avif", 192, 128, false},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(testing::Message() << row.name << " declared " << row.width << "x" << row.height);
        std::string bytes = fixtureBytes(row.name);
        const std::size_t ispe = bytes.find("ispe");
        ASSERT_NE(ispe, std::string::npos);
        for (int i = 0; row.width && i < 4; ++i) {
            bytes[ispe + 8 + i] = char(row.width >> (24 - 8 * i));
            bytes[ispe + 12 + i] = char(row.height >> (24 - 8 * i));
        }
        EXPECT_EQ(decode(bytes) != nullptr, row.shown);
    }
}

TEST(PhonePictures, ContentDecidesNotTheName) {
    TempDir dir;
    for (const char* name : kEveryFormat) {
        const std::string bytes = fixtureBytes(name);
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        EXPECT_TRUE(recognisesImage(data, std::min(bytes.size(), std::size_t{128}))) << name;
        for (const char* misleading : {"photo.jpg", "clip.mp4", "picture"}) {
            const std::string path = dir.file(misleading);
            writeFile(path, bytes);
            auto image = loadImageFile(path.c_str());
            auto original = load(name);
            ASSERT_NE(image, nullptr) << name << " as " << misleading;
            ASSERT_NE(original, nullptr) << name;
            EXPECT_EQ(meanError(*image, *original), 0.0) << name << " as " << misleading;
        }
    }
    // Each recogniser knows its own format only.
    const std::string heic = fixtureBytes("landscape.heic"), webp = fixtureBytes("landscape.webp");
    EXPECT_FALSE(isWebp(reinterpret_cast<const unsigned char*>(heic.data()), heic.size()));
    EXPECT_FALSE(isHeif(reinterpret_cast<const unsigned char*>(webp.data()), webp.size()));
}

}  // namespace
