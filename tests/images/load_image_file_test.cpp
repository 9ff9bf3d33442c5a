#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "images/decode_test_util.h"
#include "images/file_bytes.h"
#include "images/image_expectations.h"
#include "images/load_image_file.h"
#include "support/temp_dir.h"

namespace {

class LoadImageFileTest : public testing::Test {
protected:
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = dir.file(name);
        writeFile(path, bytes);
        return path;
    }
    TempDir dir;
};

TEST_F(LoadImageFileTest, FormatComesFromContentNotName) {
    const TestPicture p = testPicture(13, 9);
    auto image = loadImageFile(write("photo.tif", pngFile(p, PngLayout::rgb)).c_str());
    expectPicture(image.get(), 13, 9, [&](int x, int y) {
        const auto* px = p.pixel(x, y);
        return Rgb{px[0], px[1], px[2]};
    });
    // Every kind of fixture, under a name that says nothing.
    for (const auto& [name, bytes] : allFixtureFiles()) {
        auto decoded = loadImageFile(write("picture", bytes).c_str());
        ASSERT_NE(decoded, nullptr) << name;
        EXPECT_GT(decoded->width, 0) << name;
    }
}

TEST_F(LoadImageFileTest, MissingEmptyAndForeignFilesAreRefused) {
    EXPECT_EQ(loadImageFile(dir.file("absent.png").c_str()), nullptr);
    EXPECT_EQ(loadImageFile(dir.path().string().c_str()), nullptr);
    EXPECT_EQ(loadImageFile(write("empty.png", "").c_str()), nullptr);
    EXPECT_EQ(loadImageFile(write("notes.txt", "Just some words, no picture.\n").c_str()), nullptr);
    EXPECT_EQ(loadImageFile(nullptr), nullptr);
}

// Files that are not regular files are refused at once: a FIFO has no end
// until a writer comes, and a device (Windows' "NUL", "CON") is no picture.
TEST_F(LoadImageFileTest, FilesThatAreNotRegularNeverBlock) {
    std::vector<std::string> paths;
#ifdef _WIN32
    paths = {dir.file("NUL"), dir.file("CON.png"), "NUL"};
#else
    paths = {dir.file("pipe.jpg"), "/dev/zero", "/dev/null"};
    ASSERT_EQ(mkfifo(paths[0].c_str(), 0600), 0);
#endif
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        auto load = std::async(std::launch::async, [&] { return loadImageFile(path.c_str()) != nullptr; });
        const bool ended = load.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
#ifndef _WIN32
        // Release a read that waits, so that the test ends either way.
        if (!ended) close(open(path.c_str(), O_WRONLY | O_NONBLOCK));
#endif
        EXPECT_TRUE(ended);
        EXPECT_FALSE(load.get());
    }
}

// Heads of common files that are not pictures, as a walk through a user's
// folders meets them.
TEST(ImageHeads, EveryPictureIsKnownByItsHeadAndNothingElseIs) {
    for (const auto& [name, bytes] : allFixtureFiles()) {
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        EXPECT_TRUE(recognisesImage(data, std::min(bytes.size(), kImageHeadBytes))) << name;
    }
    const std::string foreign[] = {
        std::string("\0\0\0\x20" "ftypisom\0\0\x02\0isomiso2avc1mp41", 32),  // MP4 video
        std::string("\x1A\x45\xDF\xA3\x93\x42\x82\x88matroska", 16),        // Matroska video
        std::string("RIFF\x24\x80\0\0WAVEfmt \x10\0\0\0", 20),               // sound
        std::string("RIFF\x24\x80\0\0AVI LIST\x10\0\0\0", 20),               // AVI video
        std::string("\0\0\0\x14" "ftypqt  \0\0\x02\0qt  ", 20),               // QuickTime video
        std::string("PK\x03\x04\x14\0\0\0\x08\0", 10) + std::string(40, 'z'),  // archive
        "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Type /Catalog >>\nendobj\n",
        "ID3\x04\0\0\0\0\x01\x76TIT2\0\0\0\x0C\0\0\x03Some song title",
        "Just some words, no picture, long enough to fill a header.\n",
    };
    for (const std::string& head : foreign)
        EXPECT_FALSE(recognisesImage(reinterpret_cast<const unsigned char*>(head.data()), head.size()))
            << head.substr(0, 8);
}

#if defined(__linux__)
// Bytes this process has read from files so far.
std::uint64_t bytesReadSoFar() {
    std::FILE* io = std::fopen("/proc/self/io", "r");
    if (!io) return 0;
    unsigned long long value = 0;
    if (std::fscanf(io, "rchar: %llu", &value) != 1) value = 0;
    std::fclose(io);
    return value;
}

TEST_F(LoadImageFileTest, AFileNoDecoderKnowsCostsOnlyItsHead) {
    std::string video("\0\0\0\x20" "ftypisom", 12);
    video.resize(8 << 20, '\x5A');
    const std::string path = write("holiday.mp4", video);
    const std::uint64_t before = bytesReadSoFar();
    EXPECT_EQ(loadImageFile(path.c_str()), nullptr);
    const std::uint64_t read = bytesReadSoFar() - before;
    EXPECT_LE(read, 64u << 10);
    // A picture is still read whole.
    const std::string picture = write("picture", bmpFile(testPicture(600, 400), 24));
    const std::uint64_t beforePicture = bytesReadSoFar();
    EXPECT_NE(loadImageFile(picture.c_str()), nullptr);
    EXPECT_GE(bytesReadSoFar() - beforePicture, 600u * 400u * 3u);
}
#endif

TEST_F(LoadImageFileTest, FileReadStopsAtItsLimit) {
    const std::string path = write("big", std::string(5000, 'x'));
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(readFileBytes(path.c_str(), 5000, bytes));
    EXPECT_EQ(bytes.size(), 5000u);
    EXPECT_FALSE(readFileBytes(path.c_str(), 4999, bytes));
}

// Cut or damaged files of every kind: sanitizers judge the crash and leak
// side; a picture cut well inside its data must also be refused, except a
// JPEG, which is shown as far as its data goes.
TEST(DamagedImages, TruncatedFilesAreRefusedAndNothingCrashes) {
    for (const auto& [name, bytes] : allFixtureFiles()) {
        SCOPED_TRACE(name);
        const bool jpeg = name.ends_with(".jpg");
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            auto image = decode(bytes.substr(0, cut));
            if (image && !jpeg) {
                EXPECT_GT(cut, bytes.size() * 3 / 4) << "decoded from " << cut << " bytes";
            }
        }
    }
}

TEST(DamagedImages, CorruptedBytesNeverCrash) {
    std::uint32_t state = 12345;
    auto next = [&] { return state = state * 1103515245u + 12345u, state >> 8; };
    for (const auto& [name, bytes] : allFixtureFiles()) {
        for (int trial = 0; trial < 200; ++trial) {
            std::string damaged = bytes;
            const int changes = 1 + int(next() % 4);
            for (int i = 0; i < changes; ++i) damaged[next() % damaged.size()] = char(next());
            auto image = decode(damaged);
            if (image) {
                EXPECT_TRUE(image->width > 0 && image->height > 0) << name;
            }
        }
    }
}

std::string pngChunk(const std::string& type, const std::string& data) {
    std::string chunk;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char(data.size() >> shift);
    const std::string body = type + data;
    chunk += body;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char(crc >> shift);
    return chunk;
}

void setBE16(std::string& s, std::size_t at, unsigned v) {
    s[at] = char(v >> 8);
    s[at + 1] = char(v);
}
void setLE16(std::string& s, std::size_t at, unsigned v) {
    s[at] = char(v);
    s[at + 1] = char(v >> 8);
}

// Headers that promise more than 2^28 pixels are refused outright (the
// sanitizer's allocator would report a multi-gigabyte allocation otherwise).
TEST(DamagedImages, HugeDeclaredSizesAreRefused) {
    // PNG: 20000 x 20000.
    std::string ihdr("\x00\x00\x4E\x20\x00\x00\x4E\x20\x08\x02\x00\x00\x00", 13);
    std::string png = "\x89PNG\r\n\x1A\n" + pngChunk("IHDR", ihdr) + pngChunk("IEND", "");
    EXPECT_EQ(decode(png), nullptr);

    // JPEG: the frame header says 65000 x 65000.
    std::string jpeg = jpegFile(testPicture(16, 16), JpegKind::baseline);
    const std::size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    setBE16(jpeg, sof + 5, 65000);
    setBE16(jpeg, sof + 7, 65000);
    EXPECT_EQ(decode(jpeg), nullptr);

    // GIF: screen and frame of 65535 x 65535.
    std::string gif = gifFile(indexedPicture(4, 4, 4), false);
    setLE16(gif, 6, 65535);
    setLE16(gif, 8, 65535);
    const std::size_t descriptor = gif.find(',');
    setLE16(gif, descriptor + 5, 65535);
    setLE16(gif, descriptor + 7, 65535);
    EXPECT_EQ(decode(gif), nullptr);

    // PCX: 65536 x 65536.
    std::string pcx = pcxTrueColourFile(testPicture(4, 4));
    setLE16(pcx, 4, 0);
    setLE16(pcx, 6, 0);
    setLE16(pcx, 8, 65535);
    setLE16(pcx, 10, 65535);
    setLE16(pcx, 66, 65535);
    EXPECT_EQ(decode(pcx), nullptr);

    // BMP: 2^30 x 1, with the pixel data to match being absent.
    std::string bmp = bmpFile(testPicture(4, 4), 24);
    bmp[18] = 0; bmp[19] = 0; bmp[20] = 0; bmp[21] = 0x40;
    EXPECT_EQ(decode(bmp), nullptr);
}

}  // namespace
