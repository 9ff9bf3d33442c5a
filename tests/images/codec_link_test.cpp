// Proves that every codec library links into the executables and answers a
// call, in the Windows build (static archives) as well as natively.

#include <gif_lib.h>
#include <libheif/heif.h>
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <webp/decode.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(CodecLinkTest, LibTiffReportsItsVersion) {
    const char* version = TIFFGetVersion();
    ASSERT_NE(version, nullptr);
    EXPECT_NE(std::string(version).find("LIBTIFF"), std::string::npos) << version;
}

// Without plugin loading the HEVC and AV1 decoders must be built in.
TEST(CodecLinkTest, LibheifDecodesHevcAndAv1) {
    ASSERT_EQ(heif_init(nullptr).code, heif_error_Ok);
    EXPECT_TRUE(heif_have_decoder_for_format(heif_compression_HEVC));
    EXPECT_TRUE(heif_have_decoder_for_format(heif_compression_AV1));
    heif_deinit();
}

TEST(CodecLinkTest, LibwebpReportsItsVersion) {
    EXPECT_GE(WebPGetDecoderVersion(), 0x010200);
}

TEST(CodecLinkTest, TurboJpegCreatesADecompressor) {
    tjhandle handle = tjInitDecompress();
    ASSERT_NE(handle, nullptr) << tjGetErrorStr();
    EXPECT_EQ(tjDestroy(handle), 0);
}

TEST(CodecLinkTest, LibTiffHasTheCodecsTheReaderNeeds) {
    for (const int scheme : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS,
                             COMPRESSION_JPEG, COMPRESSION_PIXARLOG, COMPRESSION_SGILOG,
                             COMPRESSION_CCITTFAX4}) {
        EXPECT_TRUE(TIFFIsCODECConfigured(static_cast<uint16_t>(scheme))) << "scheme " << scheme;
    }
}

TEST(CodecLinkTest, TurboJpegRoundTripsAPicture) {
    // Large enough for the SIMD colour conversion and DCT paths to run.
    constexpr int width = 64, height = 48;
    std::vector<unsigned char> rgb(width * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &rgb[(y * width + x) * 3];
            p[0] = static_cast<unsigned char>(x * 4);
            p[1] = static_cast<unsigned char>(y * 5);
            p[2] = 128;
        }

    tjhandle compressor = tjInitCompress();
    ASSERT_NE(compressor, nullptr);
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    ASSERT_EQ(tjCompress2(compressor, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &jpegSize,
                          TJSAMP_444, 95, 0),
              0)
        << tjGetErrorStr2(compressor);
    tjDestroy(compressor);

    tjhandle decompressor = tjInitDecompress();
    ASSERT_NE(decompressor, nullptr);
    int w = 0, h = 0, subsampling = 0, colorspace = 0;
    ASSERT_EQ(tjDecompressHeader3(decompressor, jpeg, jpegSize, &w, &h, &subsampling, &colorspace), 0);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    std::vector<unsigned char> decoded(rgb.size());
    ASSERT_EQ(tjDecompress2(decompressor, jpeg, jpegSize, decoded.data(), width, 0, height, TJPF_RGB, 0),
              0)
        << tjGetErrorStr2(decompressor);
    tjDestroy(decompressor);
    tjFree(jpeg);

    int worst = 0;
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        const int difference = rgb[i] > decoded[i] ? rgb[i] - decoded[i] : decoded[i] - rgb[i];
        if (difference > worst) worst = difference;
    }
    EXPECT_LE(worst, 8);
}

TEST(CodecLinkTest, LibPngVersionMatchesItsHeader) {
    // The library's run-time version must agree with the header's major and
    // minor release, or the decoders' structures would not match.
    const png_uint_32 version = png_access_version_number();
    EXPECT_EQ(version / 100, static_cast<png_uint_32>(PNG_LIBPNG_VER / 100)) << version;
}

TEST(CodecLinkTest, GiflibDescribesItsErrors) {
    const char* text = GifErrorString(D_GIF_ERR_NOT_GIF_FILE);
    ASSERT_NE(text, nullptr);
    EXPECT_GT(std::string(text).size(), 0u);
}

TEST(CodecLinkTest, ZlibVersionMatchesItsHeader) {
    const char* version = zlibVersion();
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version[0], ZLIB_VERSION[0]) << version;
}

TEST(CodecLinkTest, ZlibRoundTripsData) {
    const std::string text = "Glimmora Glimmora Glimmora Glimmora";
    Bytef packed[128];
    uLongf packedSize = sizeof packed;
    ASSERT_EQ(compress(packed, &packedSize, reinterpret_cast<const Bytef*>(text.data()), text.size()),
              Z_OK);
    std::string unpacked(text.size(), '\0');
    uLongf unpackedSize = unpacked.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(unpacked.data()), &unpackedSize, packed, packedSize),
              Z_OK);
    EXPECT_EQ(unpacked, text);
}
