#include "images/tiff_reader.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <random>
#include <thread>
#include <vector>

#include "platform/debug_output.h"
#include "tiff_test_support.h"

using Bytes = std::vector<unsigned char>;

namespace {

// One strip per file keeps StripOffsets and StripByteCounts single values,
// which the tests below can rewrite.
TiffFixture singleStrip(std::uint16_t compression, std::uint16_t bits = 8) {
    TiffFixture f;
    f.width = 8;
    f.height = 8;
    f.bitsPerSample = bits;
    f.samplesPerPixel = 3;
    f.photometric = PHOTOMETRIC_RGB;
    f.compression = compression;
    f.rowsPerStrip = 8;
    return f;
}

Bytes gradient(std::size_t size) {
    Bytes samples(size);
    for (std::size_t i = 0; i < size; ++i) samples[i] = static_cast<unsigned char>(i * 13 + i / 7);
    return samples;
}

}  // namespace

class TiffBadInput : public TiffTest {
protected:
    // The bytes of a fixture written with libtiff.
    std::string bytesOf(const TiffFixture& f, const Bytes& samples) {
        return readFile(write("source.tif", f, samples));
    }

    // Loads `bytes` as a file. Unless damage may have hit the sample tags,
    // the debugger output must stay silent.
    std::unique_ptr<RGBImage> loadBytes(const std::string& bytes, bool quiet = true) {
        const std::string path = dir.file("bad.tif");
        writeFile(path, bytes);
        DebugOutputCapture capture;
        auto image = loadTiff(path.c_str());
        if (quiet) {
            EXPECT_EQ(capture.text(), "");
        }
        return image;
    }

    // A decode of mangled data may succeed, but only at the declared size.
    static void expectNullOrWhole(const std::unique_ptr<RGBImage>& image, int width, int height) {
        if (!image) return;
        EXPECT_EQ(image->width, width);
        EXPECT_EQ(image->height, height);
        EXPECT_NE(image->pixels, nullptr);
    }
};

TEST_F(TiffBadInput, EmptyAndForeignFilesAreRefused) {
    EXPECT_FALSE(loadBytes(""));
    EXPECT_FALSE(loadBytes(std::string("II*\0", 4)));
    EXPECT_FALSE(loadBytes(std::string("II*\0\x08\0\0\0", 8)));
    EXPECT_FALSE(loadBytes(std::string("MM\0*\xFF\xFF\xFF\xF0", 8)));
    EXPECT_FALSE(loadBytes(std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, '\0')));
}

TEST_F(TiffBadInput, EveryTruncationIsSafe) {
    for (std::uint16_t compression : {COMPRESSION_NONE, COMPRESSION_ADOBE_DEFLATE}) {
        const std::string whole = bytesOf(singleStrip(compression, 16), gradient(8 * 8 * 6));
        ASSERT_TRUE(loadBytes(whole));
        int refused = 0;
        for (std::size_t size = 0; size < whole.size(); ++size) {
            auto image = loadBytes(whole.substr(0, size), false);
            expectNullOrWhole(image, 8, 8);
            refused += image ? 0 : 1;
        }
        EXPECT_GT(refused, static_cast<int>(whole.size() / 2));
    }
}

TEST_F(TiffBadInput, StripsCutOffOrMisplacedAreRefused) {
    for (std::uint16_t compression : {COMPRESSION_NONE, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_LZW}) {
        SCOPED_TRACE(compression);
        const std::string whole = bytesOf(singleStrip(compression), gradient(8 * 8 * 3));
        ASSERT_TRUE(loadBytes(whole));

        // libtiff repairs a short count on an uncompressed strip from the
        // picture's size; a compressed one runs dry.
        std::string cut = whole;
        ASSERT_TRUE(patchTiffTag(cut, TIFFTAG_STRIPBYTECOUNTS, 10));
        if (compression == COMPRESSION_NONE)
            expectNullOrWhole(loadBytes(cut), 8, 8);
        else
            EXPECT_FALSE(loadBytes(cut));

        // The strip runs off the end of the file.
        std::string tail = whole;
        ASSERT_TRUE(patchTiffTag(tail, TIFFTAG_STRIPOFFSETS, static_cast<std::uint32_t>(whole.size() - 20)));
        EXPECT_FALSE(loadBytes(tail));

        std::string beyond = whole;
        ASSERT_TRUE(patchTiffTag(beyond, TIFFTAG_STRIPOFFSETS, 0x7FFFFFF0));
        EXPECT_FALSE(loadBytes(beyond));

        std::string overlong = whole;
        ASSERT_TRUE(patchTiffTag(overlong, TIFFTAG_STRIPBYTECOUNTS, 0xFFFFFF00u));
        expectNullOrWhole(loadBytes(overlong), 8, 8);
    }
}

TEST_F(TiffBadInput, GarbageInTheMiddleIsSafe) {
    const std::string whole = bytesOf(singleStrip(COMPRESSION_ADOBE_DEFLATE), gradient(8 * 8 * 3));
    // The strip starts right after the 8-byte header.
    std::string badHeader = whole;
    badHeader[8] = '\xFF';
    badHeader[9] = '\xFF';
    EXPECT_FALSE(loadBytes(badHeader));

    for (std::size_t at = 10; at + 8 < whole.size(); at += 5) {
        std::string garbage = whole;
        for (std::size_t i = 0; i < 8; ++i) garbage[at + i] = static_cast<char>(0xA5 ^ (i * 37));
        expectNullOrWhole(loadBytes(garbage, false), 8, 8);
    }
}

TEST_F(TiffBadInput, RandomDamageNeverCrashes) {
    std::vector<std::string> sources;
    sources.push_back(bytesOf(singleStrip(COMPRESSION_ADOBE_DEFLATE, 16), gradient(8 * 8 * 6)));
    sources.push_back(bytesOf(singleStrip(COMPRESSION_LZW), gradient(8 * 8 * 3)));
    TiffFixture planes = singleStrip(COMPRESSION_NONE);
    planes.separatePlanes = true;
    planes.rowsPerStrip = 3;
    sources.push_back(bytesOf(planes, gradient(8 * 8 * 3)));
    if (TIFFIsCODECConfigured(COMPRESSION_PIXARLOG)) {
        TiffFixture pixar = singleStrip(COMPRESSION_PIXARLOG, 32);
        pixar.sampleFormat = SAMPLEFORMAT_IEEEFP;
        sources.push_back(bytesOf(pixar, gradient(8 * 8 * 12)));
    }

    std::mt19937 random(20240611);
    for (const std::string& source : sources)
        for (int round = 0; round < 150; ++round) {
            std::string damaged = source;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i)
                damaged[random() % damaged.size()] = static_cast<char>(random() & 0xFF);
            const std::string path = dir.file("damaged.tif");
            writeFile(path, damaged);
            DebugOutputCapture capture;  // damage may well make a message
            auto image = loadTiff(path.c_str());
            if (image) {
                EXPECT_GT(image->width, 0);
                EXPECT_GT(image->height, 0);
            }
        }
}

TEST_F(TiffBadInput, PixarLogWithEndlessStripsIsSafe) {
    if (!TIFFIsCODECConfigured(COMPRESSION_PIXARLOG)) GTEST_SKIP() << "libtiff lacks PixarLog";
    TiffFixture f = singleStrip(COMPRESSION_PIXARLOG);
    std::string bytes = bytesOf(f, gradient(8 * 8 * 3));
    ASSERT_TRUE(loadBytes(bytes));
    // "All rows in one strip", as many writers put it.
    ASSERT_TRUE(patchTiffTag(bytes, TIFFTAG_ROWSPERSTRIP, 0xFFFFFFFFu));
    auto image = loadBytes(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 8);
}

TEST_F(TiffBadInput, ImpossibleSizesAreRefusedBeforeAllocating) {
    const std::string whole = bytesOf(singleStrip(COMPRESSION_NONE), gradient(8 * 8 * 3));
    struct Size {
        std::uint32_t width, height;
    };
    const Size sizes[] = {{0, 8}, {8, 0}, {1u << 20, 1u << 20}, {0x80000000u, 1}, {1u << 29, 1},
                          {0xFFFFFFFFu, 0xFFFFFFFFu}};
    for (const Size& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        std::string bytes = whole;
        ASSERT_TRUE(patchTiffTag(bytes, TIFFTAG_IMAGEWIDTH, size.width));
        ASSERT_TRUE(patchTiffTag(bytes, TIFFTAG_IMAGELENGTH, size.height));
        EXPECT_FALSE(loadBytes(bytes));
    }
    std::string noLength = whole;
    ASSERT_TRUE(renameTiffTag(noLength, TIFFTAG_IMAGELENGTH, 32770));
    EXPECT_FALSE(loadBytes(noLength));
}

TEST_F(TiffBadInput, NoSamplesPerPixelIsRefused) {
    std::string bytes = bytesOf(singleStrip(COMPRESSION_NONE), gradient(8 * 8 * 3));
    ASSERT_TRUE(patchTiffTag(bytes, TIFFTAG_SAMPLESPERPIXEL, 0));
    const std::string path = dir.file("none.tif");
    writeFile(path, bytes);
    DebugOutputCapture capture;
    EXPECT_FALSE(loadTiff(path.c_str()));
    // libtiff itself rejects such a directory; should it ever pass one on,
    // the reader names the problem.
    if (!capture.text().empty()) {
        EXPECT_EQ(capture.text(), "Glimmora: TIFF image " + path + " has no channels\n");
    }
}

TEST_F(TiffBadInput, PixarFilmIsTakenAsFloatAndFailsQuietly) {
    // The film codec's files are forced to 32-bit float, so even a declared
    // 12 bits draws no message; libtiff cannot decode them.
    for (std::uint16_t bits : {8, 12, 16}) {
        SCOPED_TRACE(bits);
        TiffFixture f = singleStrip(COMPRESSION_NONE, bits);
        std::string bytes = bytesOf(f, gradient(8 * 8 * 6));
        ASSERT_TRUE(patchTiffTag(bytes, TIFFTAG_COMPRESSION, 32908));
        EXPECT_FALSE(loadBytes(bytes));
    }
}

TEST_F(TiffBadInput, ConcurrentLoadsAgree) {
    TiffFixture f = singleStrip(COMPRESSION_ADOBE_DEFLATE, 32);
    f.sampleFormat = SAMPLEFORMAT_IEEEFP;
    std::vector<float> values(8 * 8 * 3, 0.0f);
    for (std::size_t i = 0; i < values.size(); i += 2) values[i] = 2.0f;
    const std::string floats = write("float.tif", f, sampleBytes(values));
    const std::string shorts = write("short.tif", singleStrip(COMPRESSION_LZW, 16), gradient(8 * 8 * 6));
    auto reference = loadTiff(shorts.c_str());
    ASSERT_TRUE(reference);
    const Bytes expected = pixels(*reference);

    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                auto a = loadTiff(floats.c_str());
                auto b = loadTiff(shorts.c_str());
                // 0.0 and 2.0 come out 0 and 255 whatever the dither draws.
                if (!a || !b || pixels(*b) != expected || a->pixels[0] != 255 || a->pixels[1] != 0)
                    ++failures[t];
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}
