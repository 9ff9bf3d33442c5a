#include "provider_test_support.h"

#include <cstdint>

namespace {

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void put32(std::string& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((v >> shift) & 0xFF);
}

// An uncompressed 24-bit BMP, stored bottom row first, rows padded to four
// bytes. `rgb` holds the rows bottom first, packed.
std::string makeBmp(int width, int height, const std::vector<unsigned char>& rgb) {
    const int stride = (width * 3 + 3) / 4 * 4;
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(stride * height);
    std::string out;
    out += "BM";
    put32(out, 14 + 40 + pixelBytes);
    put32(out, 0);
    put32(out, 14 + 40);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);  // no compression
    put32(out, pixelBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &rgb[static_cast<std::size_t>((y * width + x) * 3)];
            out += static_cast<char>(p[2]);
            out += static_cast<char>(p[1]);
            out += static_cast<char>(p[0]);
        }
        out.append(static_cast<std::size_t>(stride - width * 3), '\0');
    }
    return out;
}

}  // namespace

// The real decoders behind the provider: the picture comes through, bottom
// row first, and a junk file beside it is dropped.
TEST_F(ProviderTest, ServesRealPicturesAndDropsJunkThroughTheRealDecoders) {
    TempDir dir;
    const std::vector<unsigned char> rgb{
        10, 20, 30,    40, 50, 60,    // bottom row
        70, 80, 90,    100, 110, 120,
        130, 140, 150, 160, 170, 180,  // top row
    };
    writeFile(dir.file("picture.bmp"), makeBmp(2, 3, rgb));
    writeFile(dir.file("junk.bmp"), "BM this is not a picture");
    writeFile(dir.file("empty.jpg"), "");

    ProbedProvider provider({dir.path().string()});
    for (int i = 0; i < 4; ++i) {
        const auto image = provider.nextImage();
        ASSERT_TRUE(image);
        ASSERT_EQ(image->width, 2) << "call " << i;
        ASSERT_EQ(image->height, 3);
        EXPECT_EQ(std::vector<unsigned char>(image->pixels, image->pixels + rgb.size()), rgb);
    }
    EXPECT_EQ(provider.snapshot().files, std::vector<std::string>{dir.file("picture.bmp")});
}
