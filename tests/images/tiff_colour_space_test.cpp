// TIFF colour spaces other than grey, palette and RGB, buffers that a codec
// fills only in part, and the memory that tile bands may take.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "tiff_test_support.h"

using Bytes = std::vector<unsigned char>;

namespace {

TiffFixture twoPixels(std::uint16_t photometric, std::uint16_t samplesPerPixel, std::uint16_t bits = 8) {
    TiffFixture f;
    f.width = 2;
    f.height = 1;
    f.photometric = photometric;
    f.samplesPerPixel = samplesPerPixel;
    f.bitsPerSample = bits;
    return f;
}

void oneToOneChroma(TIFF* tif) { TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 1, 1); }
void multipleInks(TIFF* tif) { TIFFSetField(tif, TIFFTAG_INKSET, INKSET_MULTIINK); }
void floatLogLuv(TIFF* tif) { TIFFSetField(tif, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_FLOAT); }

// A JPEG of one flat grey level, coded 4:4:4 as TIFF's YCbCr 1x1 wants.
std::string flatJpeg(int width, int height, unsigned char level) {
    const Bytes rgb(std::size_t(width) * height * 3, level);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int status = tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_444, 95, 0);
    std::string out = status == 0 ? std::string(reinterpret_cast<char*>(jpeg), size) : std::string();
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

// JPEG-compressed YCbCr whose strips or tiles are written raw, each from
// its own JPEG stream.
Tiff rawJpegTiff(const std::string& path, std::uint32_t width, std::uint32_t height, std::uint32_t tile,
                 std::uint32_t rowsPerStrip) {
    Tiff tif(TIFFOpen(path.c_str(), "w"));
    if (!tif) return tif;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(t, TIFFTAG_YCBCRSUBSAMPLING, 1, 1);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    if (tile) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, tile);
        TIFFSetField(t, TIFFTAG_TILELENGTH, tile);
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    }
    return tif;
}

}  // namespace

// --- Colour spaces ----------------------------------------------------------

using TiffColourSpaces = TiffTest;

// Each is shown as its colours mean, never as raw RGB, or refused.
TEST_F(TiffColourSpaces, EachIsConvertedNotShownRaw) {
    struct Row {
        const char* name;
        TiffFixture fixture;
        Bytes samples;  // two pixels
        Bytes expected;  // bottom row first; empty: refused with a message
        int tolerance;
    };
    TiffFixture cmykPlanes = twoPixels(PHOTOMETRIC_SEPARATED, 4);
    cmykPlanes.separatePlanes = true;
    TiffFixture plainYCbCr = twoPixels(PHOTOMETRIC_YCBCR, 3);
    plainYCbCr.moreTags = oneToOneChroma;
    TiffFixture multiInk = twoPixels(PHOTOMETRIC_SEPARATED, 4);
    multiInk.moreTags = multipleInks;
    const Row table[] = {
        // Paper white is no ink at all; full black ink is black.
        {"cmyk", twoPixels(PHOTOMETRIC_SEPARATED, 4), {0, 0, 0, 0, 0, 0, 0, 255}, {255, 255, 255, 0, 0, 0}, 0},
        {"cmyk cyan, half black", twoPixels(PHOTOMETRIC_SEPARATED, 4), {255, 0, 0, 0, 0, 0, 0, 128},
         {0, 255, 255, 127, 127, 127}, 1},
        {"cmyk planes", cmykPlanes, {0, 0, 0, 0, 0, 0, 0, 255}, {255, 255, 255, 0, 0, 0}, 0},
        // L* 100 and 0, no colour: white and black.
        {"cie lab", twoPixels(PHOTOMETRIC_CIELAB, 3), {255, 0, 0, 0, 0, 0}, {255, 255, 255, 0, 0, 0}, 2},
        {"ycbcr without jpeg", plainYCbCr, {255, 128, 128, 0, 128, 128}, {255, 255, 255, 0, 0, 0}, 2},
        // A colour space libtiff cannot convert either.
        {"transparency mask", twoPixels(PHOTOMETRIC_MASK, 1, 1), {0x80}, {}, 0},
        {"inks other than cmyk", multiInk, Bytes(8, 0), {}, 0},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const std::string path = write("colours.tif", row.fixture, row.samples);
        DebugOutputCapture capture;
        auto image = loadTiff(path.c_str());
        if (row.expected.empty()) {
            EXPECT_FALSE(image);
            EXPECT_EQ(capture.text().rfind("Glimmora: TIFF image " + path + " unsupported; ", 0), 0u)
                << capture.text();
            continue;
        }
        ASSERT_TRUE(image);
        EXPECT_EQ(capture.text(), "");
        const Bytes got = pixels(*image);
        ASSERT_EQ(got.size(), row.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], row.expected[i], row.tolerance) << "byte " << i;
    }
}

TEST_F(TiffColourSpaces, LogLuvIsToneMappedNotRaw) {
    if (!TIFFIsCODECConfigured(COMPRESSION_SGILOG)) GTEST_SKIP() << "libtiff lacks LogLuv";
    TiffFixture f = twoPixels(PHOTOMETRIC_LOGLUV, 3, 32);
    f.sampleFormat = SAMPLEFORMAT_IEEEFP;
    f.compression = COMPRESSION_SGILOG;
    f.moreTags = floatLogLuv;
    // CIE XYZ of D65 white at luminance 1, then black. As raw RGB the
    // float bits would show as colours.
    auto image = load(f, sampleBytes<float>({0.9505f, 1.0f, 1.089f, 0.0f, 0.0f, 0.0f}));
    ASSERT_TRUE(image);
    const Bytes got = pixels(*image);
    for (int c = 0; c < 3; ++c) {
        EXPECT_GT(got[c], 200) << c;
        EXPECT_NEAR(got[c], got[0], 24) << c;  // tone mapped, near grey
        EXPECT_EQ(got[3 + c], 0) << c;
    }
}

// --- Buffers a codec fills only in part -----------------------------------------

using TiffPartialCodecData = TiffTest;

// A JPEG strip or tile coded smaller than it should be only makes libtiff
// warn; what it did not write must be black, not the previous tile's or
// row's pixels.
TEST_F(TiffPartialCodecData, WhatTheCodecLeftOutIsBlack) {
    struct Row {
        const char* name;
        std::uint32_t tile;          // 0: strips
        std::uint32_t rowsPerStrip;
    };
    const Row table[] = {{"tiles", 16, 0}, {"strips", 0, 16}};
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.file("short.tif");
        {
            Tiff tif = rawJpegTiff(path, 32, 16, row.tile, row.rowsPerStrip);
            ASSERT_TRUE(tif);
            // Left: full, white. Right: black, coded half as high.
            const std::string full = row.tile ? flatJpeg(16, 16, 255) : flatJpeg(32, 16, 255);
            const std::string half = row.tile ? flatJpeg(16, 8, 0) : flatJpeg(32, 8, 0);
            if (row.tile) {
                ASSERT_GT(TIFFWriteRawTile(tif.get(), 0, const_cast<char*>(full.data()), tmsize_t(full.size())), 0);
                ASSERT_GT(TIFFWriteRawTile(tif.get(), 1, const_cast<char*>(half.data()), tmsize_t(half.size())), 0);
            } else {
                ASSERT_GT(TIFFWriteRawStrip(tif.get(), 0, const_cast<char*>(half.data()), tmsize_t(half.size())), 0);
            }
            ASSERT_EQ(TIFFWriteDirectory(tif.get()), 1);
        }
        // Whatever the earlier picture left in a recycled buffer must not show.
        auto image = loadTiff(path.c_str());
        if (!image) continue;  // refusing is sound too
        const Bytes got = pixels(*image);
        // The right half's lower rows (the first rows of the buffer).
        for (int y = 0; y < 8; ++y)
            for (int x = 16; x < 32; ++x)
                ASSERT_LE(got[(std::size_t(y) * 32 + x) * 3], 8) << x << "," << y;
    }
}

// --- Memory of tile bands ------------------------------------------------------------

using TiffBandMemory = TiffTest;

// Bands of separate planes count together: four planes of 80 MiB each
// pass a cap that holds per plane, but not one over all of them.
TEST_F(TiffBandMemory, TheCapCoversAllPlanesTogether) {
    struct Row {
        std::uint32_t width;
        bool opens;
    };
    const Row table[] = {{8192, true}, {20480, false}};
    for (const Row& row : table) {
        SCOPED_TRACE(row.width);
        const std::string path = dir.file("planes.tif");
        {
            Tiff tif(TIFFOpen(path.c_str(), "w"));
            ASSERT_TRUE(tif);
            TIFF* t = tif.get();
            TIFFSetField(t, TIFFTAG_IMAGEWIDTH, row.width);
            TIFFSetField(t, TIFFTAG_IMAGELENGTH, 4096u);
            TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
            const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
            TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
            TIFFSetField(t, TIFFTAG_TILEWIDTH, 4096u);
            TIFFSetField(t, TIFFTAG_TILELENGTH, 4096u);
            TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
            // One tile of zeros, the rest left out: opening decides before
            // any is read.
            std::vector<char> tile(4096 * 4096, 0);
            ASSERT_GT(TIFFWriteEncodedTile(t, 0, tile.data(), tmsize_t(tile.size())), 0);
            ASSERT_EQ(TIFFWriteDirectory(t), 1);
        }
        TiffReader reader;
        reader.fileName = path.c_str();
        EXPECT_EQ(openTiff(reader, 1), row.opens);
    }
}
