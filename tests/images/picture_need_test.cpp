#include <gtest/gtest.h>

#include "images/decode_test_util.h"
#include "images/image_fixtures.h"
#include "images/jpeg_sizing.h"
#include "images/picture_need.h"

namespace {

struct FitCase {
    long long width, height;
    PictureNeed need;
    PictureSize fitted;
};

TEST(PictureNeed, APictureIsFittedIntoTheBoxInItsOwnProportions) {
    const FitCase cases[] = {
        {5184, 3456, {1883, 1506}, {1883, 1256}},  // wider than the box: its width limits
        {3456, 5184, {1883, 1506}, {1004, 1506}},  // taller: its height limits
        {4000, 3000, {2824, 1589}, {2119, 1589}},
        {1000, 1000, {1883, 1506}, {1000, 1000}},  // fits already: kept
        {5184, 3456, {}, {5184, 3456}},            // no bound
        {100000, 1, {1000, 1000}, {1000, 1}},      // a side never below 1
    };
    for (const FitCase& c : cases)
        EXPECT_EQ(fittedSize(c.width, c.height, c.need), c.fitted) << c.width << "x" << c.height;
    EXPECT_TRUE(coversNeed(1883, 1256, 5184, 3456, {1883, 1506}));
    EXPECT_FALSE(coversNeed(1883, 1255, 5184, 3456, {1883, 1506}));
}

// TurboJPEG's factors at most 1.
constexpr JpegScale kFactors[] = {{1, 1}, {7, 8}, {3, 4}, {5, 8}, {1, 2}, {3, 8}, {1, 4}, {1, 8}};

struct ScaleCase {
    int width, height;
    PictureNeed need;
    Orientation orientation;
    JpegScale scale;
};

TEST(PictureNeed, AJpegScaleIsTheSmallestThatStillCoversTheNeed) {
    const ScaleCase cases[] = {
        {5184, 3456, {1883, 1506}, Orientation::upright, {3, 8}},   // 1944x1296
        {8000, 6000, {2824, 1589}, Orientation::upright, {3, 8}},   // 3000x2250
        {6000, 8000, {2824, 1589}, Orientation::upright, {1, 4}},   // 1500x2000 covers 1192x1589
        // Stored on its side: the need turns with it.
        {8000, 6000, {2824, 1589}, Orientation::clockwise, {1, 4}},
        {8000, 6000, {2824, 1589}, Orientation::upsideDown, {3, 8}},
        {1600, 1200, {200, 150}, Orientation::upright, {1, 8}},
        {1600, 1200, {201, 151}, Orientation::upright, {1, 4}},
        {1000, 800, {1883, 1506}, Orientation::upright, {1, 1}},   // smaller than the need
        {5184, 3456, {}, Orientation::upright, {1, 1}},            // no bound
    };
    for (const ScaleCase& c : cases)
        EXPECT_EQ(chooseJpegScale(c.width, c.height, c.need, c.orientation, kFactors,
                                  static_cast<int>(std::size(kFactors))),
                  c.scale)
            << c.width << "x" << c.height << " in " << c.need.width << "x" << c.need.height;
}

TEST(PictureNeed, JpegsAreDecodedAtTheScaleChosen) {
    const TestPicture picture = testPicture(160, 120);
    const std::string baseline = jpegFile(picture, JpegKind::baseline);
    const std::string turned = withApp1(baseline, exifOrientationBlock(6));
    const std::vector<std::uint8_t> cmyk(160 * 120 * 4, 40);
    const std::string cmykFile = cmykJpegFile(160, 120, cmyk, true);
    struct Case {
        const std::string* file;
        PictureNeed need;
        int width, height;
    } cases[] = {
        {&baseline, {}, 160, 120},
        {&baseline, {40, 30}, 40, 30},     // 1/4
        {&baseline, {41, 31}, 80, 60},     // 1/2: the slower 3/8 is not used
        {&baseline, {20, 20}, 20, 15},     // 1/8
        {&turned, {15, 20}, 15, 20},       // turned after a 1/8 decode
        {&turned, {60, 20}, 15, 20},       // the need turned too: not 1/4
        {&cmykFile, {40, 30}, 40, 30},     // CMYK too
    };
    for (const Case& c : cases) {
        auto image = decodeImageMemory(reinterpret_cast<const unsigned char*>(c.file->data()),
                                       c.file->size(), c.need);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, c.width) << c.need.width << "x" << c.need.height;
        EXPECT_EQ(image->height, c.height) << c.need.width << "x" << c.need.height;
    }
}

TEST(PictureNeed, ProgressiveCoefficientsAreCountedFromTheFrameHeader) {
    const TestPicture picture = testPicture(48, 32);
    // testPicture's JPEGs are 4:4:4: three components of 6 x 4 blocks.
    const std::string progressive = jpegFile(picture, JpegKind::progressive);
    EXPECT_EQ(progressiveCoefficientBytes(reinterpret_cast<const unsigned char*>(progressive.data()),
                                          progressive.size()),
              3u * 6 * 4 * 64 * 2);
    const std::string baseline = jpegFile(picture, JpegKind::baseline);
    EXPECT_EQ(progressiveCoefficientBytes(reinterpret_cast<const unsigned char*>(baseline.data()),
                                          baseline.size()),
              0u);
}

}  // namespace
