#include "images/tiff_reader.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/debug_output.h"
#include "tiff_random_guard.h"
#include "tiff_test_support.h"

using Bytes = std::vector<unsigned char>;

namespace {

TiffFixture rgb(std::uint32_t width, std::uint32_t height, std::uint16_t bits = 8) {
    TiffFixture f;
    f.width = width;
    f.height = height;
    f.bitsPerSample = bits;
    f.samplesPerPixel = 3;
    f.photometric = PHOTOMETRIC_RGB;
    return f;
}

TiffFixture grey(std::uint32_t width, std::uint32_t height, std::uint16_t bits = 8) {
    TiffFixture f;
    f.width = width;
    f.height = height;
    f.bitsPerSample = bits;
    return f;
}

}  // namespace

// --- Sample widths ----------------------------------------------------------

using TiffSampleWidths = TiffTest;

TEST_F(TiffSampleWidths, EightBitRgbIsStoredBottomRowFirst) {
    // Three rows of two pixels; the file's first row is the picture's top.
    const Bytes samples{1,  2,  3,  4,  5,  6,    // top
                        7,  8,  9,  10, 11, 12,   // middle
                        13, 14, 15, 16, 17, 18};  // bottom
    auto image = load(rgb(2, 3), samples);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->height, 3);
    EXPECT_EQ(pixels(*image), (Bytes{13, 14, 15, 16, 17, 18, 7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
}

TEST_F(TiffSampleWidths, GreyFillsAllThreeChannels) {
    auto image = load(grey(3, 1), Bytes{0, 100, 255});
    ASSERT_TRUE(image);
    EXPECT_EQ(pixels(*image), (Bytes{0, 0, 0, 100, 100, 100, 255, 255, 255}));
}

TEST_F(TiffSampleWidths, SixteenBitRounds) {
    auto image = load(grey(5, 1, 16), sampleBytes<std::uint16_t>({0, 128, 129, 65534, 65535}));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixels(*image), (Bytes{0, 0, 0, 0, 0, 0, 1, 1, 1, 255, 255, 255, 255, 255, 255}));
}

TEST_F(TiffSampleWidths, ThirtyTwoBitUnsignedIsReadAsIntegers) {
    RandomSourceGuard random(kDrawAboveHalf);
    auto image = load(rgb(1, 1, 32), sampleBytes<std::uint32_t>({0, 0x80000000u, 0xFFFFFFFFu}));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixels(*image), (Bytes{0, 128, 255}));
}

TEST_F(TiffSampleWidths, FloatSamplesAreDithered) {
    TiffFixture f = grey(5, 1, 32);
    f.sampleFormat = SAMPLEFORMAT_IEEEFP;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Bytes samples = sampleBytes<float>({0.0f, 1.0f, 2.0f, -0.5f, nan});
    const std::string path = write("float.tif", f, samples);
    {
        RandomSourceGuard random(kDrawBelowHalf);
        auto image = loadTiff(path.c_str());
        ASSERT_TRUE(image);
        EXPECT_EQ(pixels(*image), (Bytes{0, 0, 0, 254, 254, 254, 255, 255, 255, 0, 0, 0, 0, 0, 0}));
    }
    {
        RandomSourceGuard random(kDrawAboveHalf);
        auto image = loadTiff(path.c_str());
        ASSERT_TRUE(image);
        EXPECT_EQ(pixels(*image), (Bytes{0, 0, 0, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0}));
    }
}

TEST_F(TiffSampleWidths, PixarLogIsDecodedAsFloat) {
    if (!TIFFIsCODECConfigured(COMPRESSION_PIXARLOG)) GTEST_SKIP() << "libtiff lacks PixarLog";
    RandomSourceGuard random(kDrawAboveHalf);  // r = 1/2: plain rounding of v x 255

    TiffFixture f = rgb(4, 2, 32);
    f.sampleFormat = SAMPLEFORMAT_IEEEFP;
    f.compression = COMPRESSION_PIXARLOG;
    f.rowsPerStrip = 1;  // libtiff's writer cannot size PixarLog's default strip
    std::vector<float> values{0.0f, 0.25f, 0.5f, 1.0f, 2.0f, 0.1f};
    values.resize(24, 0.75f);
    auto fromFloat = loadTiff(write("float.tif", f, sampleBytes(values)).c_str());
    ASSERT_TRUE(fromFloat);
    // PixarLog is lossy (about 0.4 % steps), so allow a level either way.
    const Bytes got = pixels(*fromFloat);
    const Bytes bottomFirst(got.begin() + 12, got.end());
    const int expected[] = {0, 64, 128, 255, 255, 26, 191, 191, 191, 191, 191, 191};
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_NEAR(got[12 + i], expected[i], 1) << "sample " << i;

    // An 8-bit PixarLog file is also delivered as floats by the codec.
    TiffFixture eight = grey(3, 1, 8);
    eight.compression = COMPRESSION_PIXARLOG;
    eight.rowsPerStrip = 1;
    auto fromBytes = loadTiff(write("eight.tif", eight, Bytes{0, 100, 255}).c_str());
    ASSERT_TRUE(fromBytes);
    const Bytes greyGot = pixels(*fromBytes);
    EXPECT_EQ(greyGot[0], 0);
    EXPECT_NEAR(greyGot[3], 100, 2);
    EXPECT_EQ(greyGot[6], 255);
}

TEST_F(TiffSampleWidths, CompressedStripsDecode) {
    Bytes samples(16 * 9 * 3);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<unsigned char>(i * 7);
    for (std::uint16_t compression : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
        if (!TIFFIsCODECConfigured(compression)) continue;
        TiffFixture f = rgb(16, 9);
        f.compression = compression;
        f.rowsPerStrip = 4;
        auto image = load(f, samples);
        ASSERT_TRUE(image) << compression;
        for (int y = 0; y < 9; ++y)
            ASSERT_EQ(Bytes(image->row(8 - y), image->row(8 - y) + 48),
                      Bytes(samples.begin() + y * 48, samples.begin() + (y + 1) * 48))
                << "compression " << compression << " row " << y;
    }
}

// --- Planar layout ------------------------------------------------------------

using TiffPlanes = TiffTest;

TEST_F(TiffPlanes, SeparatePlanesMatchContiguous) {
    struct Case {
        std::uint16_t bits, spp, compression;
        std::vector<std::uint16_t> extra;
    };
    const Case cases[] = {{8, 3, COMPRESSION_NONE, {}},
                          {16, 3, COMPRESSION_NONE, {}},
                          {8, 4, COMPRESSION_NONE, {EXTRASAMPLE_ASSOCALPHA}},
                          {16, 4, COMPRESSION_ADOBE_DEFLATE, {EXTRASAMPLE_UNASSALPHA}},
                          {8, 3, COMPRESSION_LZW, {}}};
    for (const Case& c : cases) {
        TiffFixture f = rgb(7, 5, c.bits);
        f.samplesPerPixel = c.spp;
        f.extraSamples = c.extra;
        f.compression = c.compression;
        f.rowsPerStrip = 2;
        Bytes samples(7 * 5 * c.spp * c.bits / 8);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<unsigned char>(i * 31 + i / 5);
        auto contiguous = loadTiff(write("contiguous.tif", f, samples).c_str());
        f.separatePlanes = true;
        auto separate = loadTiff(write("separate.tif", f, samples).c_str());
        ASSERT_TRUE(contiguous) << c.bits << " bits, " << c.spp << " samples";
        ASSERT_TRUE(separate) << c.bits << " bits, " << c.spp << " samples";
        EXPECT_EQ(pixels(*separate), pixels(*contiguous)) << c.bits << " bits, " << c.spp << " samples";
    }
}

// Tiles, compressed separate planes and subsampled JPEG-compressed YCbCr
// hold the same picture as plain contiguous strips; tiles at the right and
// bottom edges reach past it.
TEST_F(TiffPlanes, EveryStorageLayoutGivesTheSamePicture) {
    constexpr std::uint32_t kWidth = 45, kHeight = 37;
    struct Case {
        const char* what;
        std::uint16_t bits, spp, compression;
        bool separate;
        std::uint32_t rowsPerStrip, tileSize;
        std::uint16_t ycbcr;
        std::vector<std::uint16_t> extra;
        int tolerance;
    };
    const std::uint16_t none = COMPRESSION_NONE, lzw = COMPRESSION_LZW,
                        deflate = COMPRESSION_ADOBE_DEFLATE, packbits = COMPRESSION_PACKBITS,
                        jpeg = COMPRESSION_JPEG;
    const Case cases[] = {
        {"tiled RGB", 8, 3, none, false, 0, 16, 0, {}, 0},
        {"tiled grey, LZW", 8, 1, lzw, false, 0, 16, 0, {}, 0},
        {"tiled 16-bit RGB, Deflate", 16, 3, deflate, false, 0, 32, 0, {}, 0},
        {"tiled RGBA", 8, 4, packbits, false, 0, 16, 0, {EXTRASAMPLE_UNASSALPHA}, 0},
        {"tiled separate planes, LZW", 8, 3, lzw, true, 0, 16, 0, {}, 0},
        {"tiled separate 16-bit planes, Deflate", 16, 3, deflate, true, 0, 48, 0, {}, 0},
        {"separate planes, PackBits, one strip", 8, 3, packbits, true, kHeight, 0, 0, {}, 0},
        {"separate planes, Deflate, strips of 5", 16, 3, deflate, true, 5, 0, 0, {}, 0},
        {"separate planes, JPEG", 8, 3, jpeg, true, 16, 0, 0, {}, 4},
        {"YCbCr JPEG, full chroma", 8, 3, jpeg, false, 16, 0, 1, {}, 4},
        {"YCbCr JPEG, chroma halved", 8, 3, jpeg, false, 16, 0, 2, {}, 8},
        {"tiled YCbCr JPEG, chroma halved", 8, 3, jpeg, false, 0, 16, 2, {}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Smooth, so that JPEG keeps close to it, and different everywhere.
        Bytes samples;
        for (std::uint32_t y = 0; y < kHeight; ++y)
            for (std::uint32_t x = 0; x < kWidth; ++x)
                for (std::uint16_t s = 0; s < c.spp; ++s) {
                    const unsigned v = s == 0 ? x * 5 : s == 1 ? y * 6 : s == 2 ? 200 - x * 2 - y : 255 - x;
                    samples.push_back(static_cast<unsigned char>(v));
                    if (c.bits == 16) samples.push_back(static_cast<unsigned char>(v));
                }
        TiffFixture f = c.spp >= 3 ? rgb(kWidth, kHeight, c.bits) : grey(kWidth, kHeight, c.bits);
        f.samplesPerPixel = c.spp;
        f.extraSamples = c.extra;
        auto reference = loadTiff(write("reference.tif", f, samples).c_str());
        ASSERT_TRUE(reference);
        f.compression = c.compression;
        f.separatePlanes = c.separate;
        f.rowsPerStrip = c.rowsPerStrip;
        f.tileSize = c.tileSize;
        f.ycbcrSubsampling = c.ycbcr;
        auto image = loadTiff(write("stored.tif", f, samples).c_str());
        if (!image) {
            ADD_FAILURE() << "refused";
            continue;
        }
        ASSERT_EQ(image->width, reference->width);
        ASSERT_EQ(image->height, reference->height);
        const Bytes got = pixels(*image), want = pixels(*reference);
        std::size_t worst = 0;
        for (std::size_t i = 0; i < got.size(); ++i)
            if (std::abs(int(got[i]) - int(want[i])) > std::abs(int(got[worst]) - int(want[worst]))) worst = i;
        EXPECT_LE(std::abs(int(got[worst]) - int(want[worst])), c.tolerance) << "byte " << worst;
    }
}

// Tiles that a corrupt header makes unusable, or that are not all there.
TEST_F(TiffPlanes, BrokenTilesAreRefused) {
    TiffFixture f = rgb(40, 40);
    f.tileSize = 16;
    const std::string whole = readFile(write("tiled.tif", f, Bytes(40 * 40 * 3, 9)));
    std::string zero = whole, huge = whole, cut = whole.substr(0, whole.size() / 2);
    ASSERT_TRUE(patchTiffTag(zero, TIFFTAG_TILEWIDTH, 0));
    ASSERT_TRUE(patchTiffTag(huge, TIFFTAG_TILELENGTH, 1u << 30));
    for (const std::string* bytes : {&zero, &huge, &cut}) {
        const std::string path = dir.file("broken.tif");
        writeFile(path, *bytes);
        EXPECT_FALSE(loadTiff(path.c_str()));
    }
}

// --- Channels -----------------------------------------------------------------

using TiffChannels = TiffTest;

TEST_F(TiffChannels, ChannelTable) {
    enum Outcome { Grey, GreyOverBlack, Rgb, RgbOverBlack, Rejected, TooManyColours };
    struct Row {
        std::uint16_t spp;
        std::vector<std::uint16_t> extra;
        Outcome outcome;
    };
    const std::uint16_t assoc = EXTRASAMPLE_ASSOCALPHA, unassoc = EXTRASAMPLE_UNASSALPHA;
    const Row table[] = {
        {1, {}, Grey},
        {1, {assoc}, Rejected},  // only alpha
        {2, {}, Rejected},
        {2, {assoc}, Grey},
        {2, {unassoc}, GreyOverBlack},  // like every other unassociated alpha
        {3, {}, Rgb},
        {3, {assoc}, Rejected},  // two colours and alpha
        {4, {}, Rgb},
        {4, {assoc}, Rgb},
        {4, {unassoc}, RgbOverBlack},  // associated alpha comes premultiplied
        {5, {assoc}, TooManyColours},
        {5, {}, TooManyColours},
        {6, {unassoc, unassoc, unassoc}, TooManyColours},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(testing::Message() << row.spp << " samples, " << row.extra.size() << " extra");
        TiffFixture f = grey(2, 1);
        f.samplesPerPixel = row.spp;
        // libtiff turns samples beyond the photometric's colours into extra
        // samples, so three or more samples are declared RGB.
        f.photometric = row.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
        f.extraSamples = row.extra;
        Bytes samples(2 * row.spp);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<unsigned char>(10 * (i + 1));
        const std::string path = write("channels.tif", f, samples);

        DebugOutputCapture capture;
        auto image = loadTiff(path.c_str());
        const std::size_t s = row.spp;
        switch (row.outcome) {
        case Grey:
            ASSERT_TRUE(image);
            EXPECT_EQ(pixels(*image), (Bytes{10, 10, 10, samples[s], samples[s], samples[s]}));
            EXPECT_EQ(capture.text(), "");
            break;
        case GreyOverBlack: {
            ASSERT_TRUE(image);
            auto over = [](unsigned v, unsigned a) { return static_cast<unsigned char>((v * a + 127) / 255); };
            const unsigned char left = over(10, 20), right = over(samples[2], samples[3]);
            EXPECT_EQ(pixels(*image), (Bytes{left, left, left, right, right, right}));
            EXPECT_EQ(capture.text(), "");
            break;
        }
        case Rgb:
            ASSERT_TRUE(image);
            EXPECT_EQ(pixels(*image), (Bytes{10, 20, 30, samples[s], samples[s + 1], samples[s + 2]}));
            EXPECT_EQ(capture.text(), "");
            break;
        case RgbOverBlack: {
            ASSERT_TRUE(image);
            auto over = [](unsigned v, unsigned a) { return static_cast<unsigned char>((v * a + 127) / 255); };
            EXPECT_EQ(pixels(*image), (Bytes{over(10, 40), over(20, 40), over(30, 40), over(samples[s], samples[s + 3]),
                                             over(samples[s + 1], samples[s + 3]), over(samples[s + 2], samples[s + 3])}));
            EXPECT_EQ(capture.text(), "");
            break;
        }
        case Rejected:
            EXPECT_FALSE(image);
            EXPECT_EQ(capture.text(), "");
            break;
        case TooManyColours:
            EXPECT_FALSE(image);
            EXPECT_EQ(capture.text(), "Glimmora: TIFF image " + path + " has more than 3 color channels\n");
            break;
        }
    }
}

TEST_F(TiffChannels, PaletteMinIsWhiteAndOrientationAreShownAsMeant) {
    // A palette file shows its colour map, whether the map holds 16-bit
    // entries, as the format wants, or 8-bit values as some writers store.
    struct PaletteCase {
        std::uint16_t bits;
        bool eightBitMap;
        Bytes samples;
        Bytes expected;
    };
    const PaletteCase palettes[] = {
        {8, false, Bytes{0, 1, 200}, Bytes{255, 0, 255, 254, 0, 255, 55, 0, 255}},
        {8, true, Bytes{0, 1, 200}, Bytes{255, 0, 255, 254, 0, 255, 55, 0, 255}},
        // 16-bit indices 0, 1 and 1000 (the map's red wraps every 256
        // entries: entry 1000 is 5143, level 20).
        {16, false, sampleBytes<std::uint16_t>({0, 1, 1000}), Bytes{255, 0, 255, 254, 0, 255, 20, 0, 255}},
    };
    for (const PaletteCase& c : palettes) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, 8-bit map " << c.eightBitMap);
        TiffFixture palette = grey(3, 1, c.bits);
        palette.photometric = PHOTOMETRIC_PALETTE;
        palette.eightBitColourMap = c.eightBitMap;
        auto image = load(palette, c.samples);
        ASSERT_TRUE(image);
        EXPECT_EQ(pixels(*image), c.expected);
    }

    // Min-is-white grey is turned round, at every sample width.
    TiffFixture inverted = grey(2, 1);
    inverted.photometric = PHOTOMETRIC_MINISWHITE;
    auto shown = load(inverted, Bytes{0, 255});
    ASSERT_TRUE(shown);
    EXPECT_EQ(pixels(*shown), (Bytes{255, 255, 255, 0, 0, 0}));
    TiffFixture inverted16 = grey(2, 1, 16);
    inverted16.photometric = PHOTOMETRIC_MINISWHITE;
    auto shown16 = load(inverted16, sampleBytes<std::uint16_t>({0, 65535}));
    ASSERT_TRUE(shown16);
    EXPECT_EQ(pixels(*shown16), (Bytes{255, 255, 255, 0, 0, 0}));

    // Orientation 4 says the first file row is the picture's bottom row.
    TiffFixture upsideDown = grey(2, 3);
    upsideDown.orientation = ORIENTATION_BOTLEFT;
    auto oriented = load(upsideDown, Bytes{255, 255, 0, 0, 0, 0});
    ASSERT_TRUE(oriented);
    EXPECT_EQ(pixels(*oriented), (Bytes{255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(TiffChannels, SeparatePalettePlanesMatchContiguous) {
    // A palette index with associated alpha, stored both ways.
    TiffFixture f = grey(5, 3);
    f.photometric = PHOTOMETRIC_PALETTE;
    f.samplesPerPixel = 2;
    f.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
    f.rowsPerStrip = 2;
    Bytes samples(5 * 3 * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<unsigned char>(i * 23 + 5);
    auto contiguous = loadTiff(write("contiguous.tif", f, samples).c_str());
    f.separatePlanes = true;
    auto separate = loadTiff(write("separate.tif", f, samples).c_str());
    ASSERT_TRUE(contiguous);
    ASSERT_TRUE(separate);
    EXPECT_EQ(pixels(*separate), pixels(*contiguous));
    // Index 5 in the first pixel (its alpha is dropped): red 255 - 5.
    EXPECT_EQ(Bytes(contiguous->row(2), contiguous->row(2) + 3), (Bytes{250, 0, 255}));
}

// --- Debugger messages --------------------------------------------------------

using TiffMessages = TiffTest;

TEST_F(TiffMessages, UnsupportedSampleFormatsAreReportedWordForWord) {
    struct Case {
        std::uint16_t bits, format;
        const char* message;  // after "Glimmora: TIFF image <path>"
    };
    const Case cases[] = {
        {12, SAMPLEFORMAT_UINT, " unsupported; 12 bit unsigned integer samples\n"},
        {4, SAMPLEFORMAT_UINT, " unsupported; 4 bit unsigned integer samples\n"},
        {64, SAMPLEFORMAT_IEEEFP, " unsupported; 64 bit float samples\n"},
        {16, SAMPLEFORMAT_IEEEFP, " unsupported; 16 bit float samples\n"},
        {16, SAMPLEFORMAT_INT, " unsupported; signed integer or 'void' samples\n"},
        {8, SAMPLEFORMAT_VOID, " unsupported; signed integer or 'void' samples\n"},
    };
    for (const Case& c : cases) {
        TiffFixture f = grey(4, 2, c.bits);
        f.sampleFormat = c.format;
        const std::string path = write("format.tif", f, Bytes(4 * 2 * 8, 0));
        DebugOutputCapture capture;
        EXPECT_FALSE(loadTiff(path.c_str()));
        EXPECT_EQ(capture.text(), "Glimmora: TIFF image " + path + c.message);
    }
}

TEST_F(TiffMessages, MissingBitsPerSampleMeansOneBit) {
    std::string bytes;
    {
        TiffFixture f = grey(8, 1);
        bytes = readFile(write("one.tif", f, Bytes(8, 0)));
    }
    // Renumbered to a private tag, BitsPerSample is gone from the file.
    ASSERT_TRUE(renameTiffTag(bytes, TIFFTAG_BITSPERSAMPLE, 32769));
    const std::string path = dir.file("bilevel.tif");
    writeFile(path, bytes);
    DebugOutputCapture capture;
    EXPECT_FALSE(loadTiff(path.c_str()));
    EXPECT_EQ(capture.text(), "Glimmora: TIFF image " + path + " unsupported; 1 bit unsigned integer samples\n");
}

TEST_F(TiffMessages, LongPathsAreNotCut) {
    std::filesystem::path deep = dir.path();
    for (int i = 0; i < 6; ++i) deep /= std::string(200, static_cast<char>('a' + i));
    std::error_code error;
    std::filesystem::create_directories(deep, error);
    const std::string path = (deep / "deep.tif").string();
    TiffFixture f = grey(1, 1, 12);
    // Windows without long-path support cannot make such a file.
    if (error || !writeTiff(path, f, Bytes(2, 0))) GTEST_SKIP() << "no paths this long here";
    DebugOutputCapture capture;
    EXPECT_FALSE(loadTiff(path.c_str()));
    EXPECT_EQ(capture.text(), "Glimmora: TIFF image " + path + " unsupported; 12 bit unsigned integer samples\n");
}

TEST_F(TiffMessages, CleanFilesAndPlainRefusalsSayNothing) {
    DebugOutputCapture capture;
    EXPECT_TRUE(load(rgb(2, 2), Bytes(12, 1)));
    EXPECT_FALSE(loadTiff(dir.file("absent.tif").c_str()));
    writeFile(dir.file("text.tif"), std::string("just some text, not a picture"));
    EXPECT_FALSE(loadTiff(dir.file("text.tif").c_str()));
    EXPECT_FALSE(loadTiff(nullptr));
    EXPECT_EQ(capture.text(), "");
}

// --- The reader interface -------------------------------------------------------

using TiffReaderApi = TiffTest;

TEST_F(TiffReaderApi, OpenFillsTheRecord) {
    TiffFixture f = rgb(6, 4, 16);
    f.samplesPerPixel = 4;
    f.extraSamples = {EXTRASAMPLE_ASSOCALPHA};
    f.separatePlanes = true;
    TiffReader reader;
    const std::string path = write("rgba.tif", f, Bytes(6 * 4 * 8, 0));
    reader.fileName = path.c_str();
    ASSERT_TRUE(openTiff(reader, 1));
    EXPECT_EQ(reader.sampleBytes, 1);
    EXPECT_EQ(reader.channels, 4);
    EXPECT_EQ(reader.pixelBytes, 4);
    EXPECT_EQ(reader.layout, 3 + 4);
    EXPECT_EQ(reader.width, 6);
    EXPECT_EQ(reader.height, 4);
    EXPECT_EQ(reader.nextRow, 0);
    ASSERT_TRUE(reader.openState);
    EXPECT_EQ(reader.openState->inSampleBytes, 2);
    EXPECT_TRUE(reader.openState->separatePlanes);
    EXPECT_GE(reader.openState->scanlineBytes, 4u * 2u * 6u);
    closeTiff(reader);
    EXPECT_FALSE(reader.openState);
    closeTiff(reader);  // nothing open: no effect

    EXPECT_FALSE(openTiff(reader, 2));  // output samples are bytes only
    EXPECT_FALSE(reader.openState);
}

TEST_F(TiffReaderApi, RowsCanBeSkippedButNotRevisitedPastTheEnd) {
    for (bool separate : {false, true}) {
        SCOPED_TRACE(separate ? "separate" : "contiguous");
        TiffFixture f = rgb(3, 5);
        f.separatePlanes = separate;
        f.compression = COMPRESSION_ADOBE_DEFLATE;
        f.rowsPerStrip = 2;
        Bytes samples(3 * 5 * 3);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<unsigned char>(i);
        const std::string path = write("rows.tif", f, samples);

        TiffReader reader;
        reader.fileName = path.c_str();
        ASSERT_TRUE(openTiff(reader, 1));
        Bytes row(9);
        ASSERT_EQ(readTiffRow(reader, row.data(), 3), 0);
        EXPECT_EQ(reader.nextRow, 4);
        EXPECT_EQ(row, Bytes(samples.begin() + 27, samples.begin() + 36));
        ASSERT_EQ(readTiffRow(reader, row.data(), 4), 0);
        EXPECT_EQ(row, Bytes(samples.begin() + 36, samples.end()));
        EXPECT_EQ(readTiffRow(reader, row.data(), 5), -1);
        EXPECT_EQ(readTiffRow(reader, row.data(), -1), -1);
        EXPECT_EQ(readTiffRow(reader, nullptr, 4), -1);
        closeTiff(reader);
        EXPECT_EQ(readTiffRow(reader, row.data(), 0), -1);
    }
}

TEST_F(TiffReaderApi, ReaderLeftOpenIsReleasedWithIt) {
    // Leak checking under the sanitizers shows whether this is true.
    const std::string path = write("open.tif", rgb(2, 2), Bytes(12, 5));
    TiffReader reader;
    reader.fileName = path.c_str();
    ASSERT_TRUE(openTiff(reader, 1));
    ASSERT_TRUE(openTiff(reader, 1));  // reopening drops the first handle
    Bytes row(6);
    EXPECT_EQ(readTiffRow(reader, row.data(), 0), 0);
}
