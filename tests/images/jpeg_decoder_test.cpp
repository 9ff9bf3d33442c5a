#include <gtest/gtest.h>

#include <stdexcept>

#include "images/decode_test_util.h"
#include "images/image_expectations.h"

namespace {

// Smooth enough for JPEG to keep close to it, with a different colour at
// every edge so that flips show.
TestPicture smoothPicture(int width, int height) {
    TestPicture p;
    p.width = width;
    p.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            p.rgba.push_back(std::uint8_t(255 * x / (width - 1)));
            p.rgba.push_back(std::uint8_t(255 * y / (height - 1)));
            p.rgba.push_back(128);
            p.rgba.push_back(255);
        }
    return p;
}

const TestPicture kSmooth = smoothPicture(48, 32);

Rgb rgbOf(const TestPicture& p, int x, int y) {
    const auto* px = p.pixel(x, y);
    return {px[0], px[1], px[2]};
}

TEST(JpegDecoder, BaselineAndProgressiveDecodeTheRightWayUp) {
    for (JpegKind kind : {JpegKind::baseline, JpegKind::progressive}) {
        auto image = decode(jpegFile(kSmooth, kind));
        expectPicture(image.get(), 48, 32, [](int x, int y) { return rgbOf(kSmooth, x, y); }, 10);
    }
}

TEST(JpegDecoder, GreyBecomesRgb) {
    auto image = decode(jpegFile(kSmooth, JpegKind::grey));
    expectPicture(image.get(), 48, 32, [](int x, int y) {
        const auto v = kSmooth.pixel(x, y)[0];
        return Rgb{v, v, v};
    }, 10);
}

// Top half red, bottom half white, in CMYK where 255 means full ink.
std::vector<std::uint8_t> redOverWhite(bool inverted) {
    std::vector<std::uint8_t> cmyk;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t ink[4] = {0, std::uint8_t(y < 8 ? 255 : 0), std::uint8_t(y < 8 ? 255 : 0), 0};
            for (auto v : ink) cmyk.push_back(inverted ? std::uint8_t(255 - v) : v);
        }
    return cmyk;
}

Rgb redOverWhiteRgb(int, int y) { return y < 8 ? Rgb{255, 0, 0} : Rgb{255, 255, 255}; }

TEST(JpegDecoder, CmykPlainAdobeInvertedAndYcckBecomeRgb) {
    expectPicture(decode(cmykJpegFile(16, 16, redOverWhite(false), false)).get(), 16, 16,
                  redOverWhiteRgb, 6);
    expectPicture(decode(cmykJpegFile(16, 16, redOverWhite(true), true)).get(), 16, 16,
                  redOverWhiteRgb, 6);
    expectPicture(decode(cmykJpegFile(16, 16, redOverWhite(true), true, true)).get(), 16, 16,
                  redOverWhiteRgb, 6);
}

// The segment that starts with `marker` (0xFF and the marker byte).
std::size_t segmentAt(const std::string& jpeg, const char* marker) {
    const std::size_t at = jpeg.find(marker, 2);
    if (at == std::string::npos) throw std::runtime_error("no such segment");
    return at;
}

std::string segment(unsigned char marker, const std::string& payload) {
    const std::size_t length = payload.size() + 2;
    return std::string{char(0xFF), char(marker), char(length >> 8), char(length & 0xFF)} + payload;
}

// Damage that libjpeg steps over with a warning, as cameras and editors
// leave it: every viewer shows these files.
TEST(JpegDecoder, RecoverableDamageIsShown) {
    const std::string good = jpegFile(kSmooth, JpegKind::baseline);
    const std::size_t dqt = segmentAt(good, "\xFF\xDB");
    const std::size_t app0 = segmentAt(good, "\xFF\xE0");
    const std::size_t app0End = app0 + 2 + ((std::uint8_t(good[app0 + 2]) << 8) | std::uint8_t(good[app0 + 3]));
    // A Photoshop block whose length field stops halfway through it.
    std::string photoshop = segment(0xED, std::string("Photoshop 3.0\0", 14) + std::string(20, '\x38'));
    photoshop[3] = char(std::uint8_t(photoshop[3]) - 20);
    // An Adobe block with a colour transform no writer uses, and no JFIF
    // block to overrule it.
    const std::string adobe = segment(0xEE, std::string("Adobe\0\x64\0\0\0\0\x07", 12));
    struct Case {
        const char* damage;
        std::string file;
    };
    const Case cases[] = {
        {"junk before a marker", good.substr(0, dqt) + "\x12\x34\x56" + good.substr(dqt)},
        {"stray 0xFF00 in the header", good.substr(0, dqt) + std::string("\xFF\x00", 2) + good.substr(dqt)},
        {"APP segment shorter than its block", good.substr(0, dqt) + photoshop + good.substr(dqt)},
        {"unknown Adobe transform", good.substr(0, app0) + adobe + good.substr(app0End)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        expectPicture(decode(c.file).get(), 48, 32, [](int x, int y) { return rgbOf(kSmooth, x, y); }, 10);
    }
}

// A fatal error after a warning writes no rows: such a file is refused, not
// shown as whatever its buffer held.
TEST(JpegDecoder, FatalDamageAfterAWarningIsRefused) {
    const std::string good = jpegFile(kSmooth, JpegKind::progressive);
    const std::size_t dqt = segmentAt(good, "\xFF\xDB");
    std::string file = good.substr(0, dqt) + "\x12\x34\x56" + good.substr(dqt);
    // The second scan names a component the frame does not have.
    const std::size_t secondScan = file.find("\xFF\xDA", segmentAt(file, "\xFF\xDA") + 2);
    ASSERT_NE(secondScan, std::string::npos);
    file[secondScan + 5] = '\x77';
    EXPECT_EQ(decode(file), nullptr);
}

TEST(JpegDecoder, OrientationIsFoundPastJunkBeforeTheExifBlock) {
    // Junk and a stuffed 0xFF00 between the JFIF block and the EXIF block.
    const std::string good = jpegFile(kSmooth, JpegKind::baseline);
    const std::size_t app0 = segmentAt(good, "\xFF\xE0");
    const std::size_t app0End = app0 + 2 + ((std::uint8_t(good[app0 + 2]) << 8) | std::uint8_t(good[app0 + 3]));
    const std::string exif = exifOrientationBlock(6);
    const std::string file = good.substr(0, app0End) + std::string("\x00\x07\xFF\x00", 4) +
                             segment(0xE1, exif) + good.substr(app0End);
    auto image = decode(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 32);
    EXPECT_EQ(image->height, 48);
}

// Data that ends early is shown as far as it goes, the rest grey, as
// viewers do; a file cut before its picture data begins is refused, and
// so is a progressive file cut inside a table between its scans.
TEST(JpegDecoder, CutShortShowsWhatWasDecoded) {
    const std::string baseline = jpegFile(kSmooth, JpegKind::baseline);
    const std::string progressive = jpegFile(kSmooth, JpegKind::progressive);
    // Inside the first scan's coded data.
    const std::size_t firstScan = segmentAt(progressive, "\xFF\xDA");
    const std::size_t firstScanData = firstScan + 2 + 12;
    const std::size_t progressiveCut =
        (firstScanData + progressive.find('\xFF', firstScanData)) / 2;
    for (const std::string* file : {&baseline, &progressive}) {
        auto image = decode(file->substr(0, file == &baseline ? file->size() * 3 / 4 : progressiveCut));
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->width, 48);
        if (file != &baseline) continue;
        // The first block rows are whole.
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 48; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(pixelFromTop(*image, x, y)[c], rgbOf(kSmooth, x, y)[c], 10);
    }
    EXPECT_EQ(decode(baseline.substr(0, segmentAt(baseline, "\xFF\xDA"))), nullptr);
    EXPECT_EQ(decode(baseline.substr(0, segmentAt(baseline, "\xFF\xC0") + 6)), nullptr);
    const std::size_t secondTables = progressive.find("\xFF\xC4", firstScanData);
    ASSERT_NE(secondTables, std::string::npos);
    EXPECT_EQ(decode(progressive.substr(0, secondTables + 8)), nullptr);
}

}  // namespace
