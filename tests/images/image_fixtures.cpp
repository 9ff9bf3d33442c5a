#include "images/image_fixtures.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <turbojpeg.h>
#include <zlib.h>

namespace {

void put16(std::string& s, unsigned v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// ---- PNG through libpng's writer ----

void appendToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}
void noFlush(png_structp) {}

std::string writePng(int width, int height, int colourType, int bitDepth, bool interlaced,
                     const std::vector<std::vector<std::uint8_t>>& rows,
                     const std::vector<Rgb>& palette = {}, int transparent = -1) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png fixture");
    }
    png_set_write_fn(png, &out, appendToString, noFlush);
    png_set_IHDR(png, info, width, height, bitDepth, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> colours;
    for (const Rgb& c : palette) colours.push_back({c[0], c[1], c[2]});
    if (!colours.empty()) png_set_PLTE(png, info, colours.data(), int(colours.size()));
    std::vector<png_byte> alpha;
    if (transparent >= 0) {
        alpha.assign(std::size_t(transparent) + 1, 255);
        alpha[std::size_t(transparent)] = 0;
        png_set_tRNS(png, info, alpha.data(), int(alpha.size()), nullptr);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const auto& row : rows) pointers.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ---- GIF through giflib's encoder ----

int appendGif(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

int bitsFor(std::size_t colours) {
    int bits = 1;
    while ((std::size_t(1) << bits) < colours) ++bits;
    return bits;
}

// ---- PCX ----

void pcxEncodeLine(std::string& out, const std::vector<std::uint8_t>& line, bool runLength) {
    if (!runLength) {
        out.append(line.begin(), line.end());
        return;
    }
    for (std::size_t i = 0; i < line.size();) {
        std::size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || line[i] >= 0xC0) out += char(0xC0 | run);
        out += char(line[i]);
        i += run;
    }
}

std::string pcxHeader(int width, int height, int bits, int planes, int bytesPerLine, bool runLength,
                      const std::vector<Rgb>& palette) {
    std::string h(128, '\0');
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = runLength ? 1 : 0;
    h[3] = char(bits);
    auto set16 = [&](int at, unsigned v) {
        h[at] = char(v & 0xFF);
        h[at + 1] = char(v >> 8);
    };
    set16(4, 3);  // a non-zero origin, as some writers use
    set16(6, 5);
    set16(8, 3 + width - 1);
    set16(10, 5 + height - 1);
    set16(12, 72);
    set16(14, 72);
    for (std::size_t i = 0; i < palette.size() && i < 16; ++i)
        for (int c = 0; c < 3; ++c) h[16 + i * 3 + c] = char(palette[i][c]);
    h[65] = char(planes);
    set16(66, bytesPerLine);
    set16(68, 1);
    return h;
}

}  // namespace

TestPicture testPicture(int width, int height, bool withAlpha) {
    TestPicture p;
    p.width = width;
    p.height = height;
    p.rgba.resize(std::size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = &p.rgba[(std::size_t(y) * width + x) * 4];
            px[0] = std::uint8_t(x * 37 + y * 11 + 3);
            px[1] = std::uint8_t(x * 7 + y * 53 + 100);
            px[2] = std::uint8_t((x ^ y) * 29 + 200);
            const int step = (x + y * width) % 4;
            px[3] = withAlpha ? std::uint8_t(step == 0 ? 0 : step == 1 ? 255 : step == 2 ? 128 : 64) : 255;
        }
    return p;
}

IndexedPicture indexedPicture(int width, int height, int colours) {
    IndexedPicture p;
    p.width = width;
    p.height = height;
    for (int i = 0; i < colours; ++i)
        p.palette.push_back({std::uint8_t(i * 53 + 7), std::uint8_t(255 - i * 11), std::uint8_t(i * 97 + 31)});
    p.indices.resize(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.indices[std::size_t(y) * width + x] = std::uint8_t((x + 2 * y) % colours);
    return p;
}

IndexedPicture runLengthPicture(int width, int height, int colours) {
    IndexedPicture p = indexedPicture(width, height, colours);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 2; ++x) p.indices[std::size_t(y) * width + x] = std::uint8_t((x / 3 + y) % colours);
    return p;
}

std::string pngFile(const TestPicture& picture, PngLayout layout, bool interlaced) {
    int colourType = PNG_COLOR_TYPE_RGB, channels = 3, depth = 8;
    switch (layout) {
        case PngLayout::rgb: break;
        case PngLayout::rgba: colourType = PNG_COLOR_TYPE_RGBA; channels = 4; break;
        case PngLayout::grey: colourType = PNG_COLOR_TYPE_GRAY; channels = 1; break;
        case PngLayout::greyAlpha: colourType = PNG_COLOR_TYPE_GRAY_ALPHA; channels = 2; break;
        case PngLayout::rgb16: depth = 16; break;
        case PngLayout::grey16: colourType = PNG_COLOR_TYPE_GRAY; channels = 1; depth = 16; break;
        case PngLayout::rgba16: colourType = PNG_COLOR_TYPE_RGBA; channels = 4; depth = 16; break;
    }
    std::vector<std::vector<std::uint8_t>> rows;
    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> row;
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* px = picture.pixel(x, y);
            std::uint8_t values[4];
            int n = 0;
            if (channels >= 3) {
                values[n++] = px[0];
                values[n++] = px[1];
                values[n++] = px[2];
            } else {
                values[n++] = px[0];
            }
            if (channels == 2 || channels == 4) values[n++] = px[3];
            for (int i = 0; i < n; ++i) {
                row.push_back(values[i]);
                if (depth == 16) row.push_back(values[i]);  // v * 257, big-endian
            }
        }
        rows.push_back(std::move(row));
    }
    return writePng(picture.width, picture.height, colourType, depth, interlaced, rows);
}

std::string withPngChunk(const std::string& png, const std::string& type, const std::string& data,
                         const char* before) {
    std::string chunk;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char(data.size() >> shift);
    const std::string body = type + data;
    chunk += body;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char(crc >> shift);
    constexpr std::size_t kAfterIhdr = 8 + 25;
    // A chunk starts with its length, four bytes before its type.
    const std::size_t at = before ? png.find(before) - 4 : kAfterIhdr;
    return png.substr(0, at) + chunk + png.substr(at);
}

std::string pngPaletteFile(const IndexedPicture& picture, int bitDepth, int transparent) {
    std::vector<std::vector<std::uint8_t>> rows;
    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> row((std::size_t(picture.width) * bitDepth + 7) / 8, 0);
        for (int x = 0; x < picture.width; ++x) {
            const unsigned index = picture.indices[std::size_t(y) * picture.width + x];
            const std::size_t bit = std::size_t(x) * bitDepth;
            row[bit / 8] |= std::uint8_t(index << (8 - bitDepth - bit % 8));
        }
        rows.push_back(std::move(row));
    }
    return writePng(picture.width, picture.height, PNG_COLOR_TYPE_PALETTE, bitDepth, false, rows,
                    picture.palette, transparent);
}

std::string jpegFile(const TestPicture& picture, JpegKind kind, int quality) {
    tjhandle handle = tjInitCompress();
    std::vector<std::uint8_t> source;
    const bool grey = kind == JpegKind::grey;
    for (std::size_t i = 0; i < picture.rgba.size(); i += 4)
        for (int c = 0; c < (grey ? 1 : 3); ++c) source.push_back(picture.rgba[i + c]);
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int flags = kind == JpegKind::progressive ? TJFLAG_PROGRESSIVE : 0;
    if (tjCompress2(handle, source.data(), picture.width, 0, picture.height, grey ? TJPF_GRAY : TJPF_RGB,
                    &jpeg, &size, grey ? TJSAMP_GRAY : TJSAMP_444, quality, flags) != 0) {
        tjDestroy(handle);
        throw std::runtime_error("jpeg fixture");
    }
    std::string out(reinterpret_cast<char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

std::string exifOrientationBlock(int value, bool bigEndian, int type, int count) {
    std::string tiff;
    auto field16 = [&](unsigned v) {
        const char bytes[2] = {char(bigEndian ? v >> 8 : v), char(bigEndian ? v : v >> 8)};
        tiff.append(bytes, 2);
    };
    auto field32 = [&](std::uint32_t v) {
        if (bigEndian) {
            field16(v >> 16);
            field16(v & 0xFFFF);
        } else {
            field16(v & 0xFFFF);
            field16(v >> 16);
        }
    };
    tiff += bigEndian ? "MM" : "II";
    field16(42);
    field32(8);       // first directory
    field16(1);       // one entry
    field16(0x0112);  // Orientation
    field16(unsigned(type));
    field32(std::uint32_t(count));
    field16(unsigned(value));  // a SHORT value sits at the start of the field
    field16(0);
    field32(0);  // no next directory
    return std::string("Exif\0\0", 6) + tiff;
}

std::string withApp1(const std::string& jpeg, const std::string& block) {
    const std::size_t length = block.size() + 2;
    std::string segment = "\xFF\xE1";
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    return jpeg.substr(0, 2) + segment + block + jpeg.substr(2);
}

std::string cmykJpegFile(int width, int height, const std::vector<std::uint8_t>& cmyk, bool adobe, bool ycck,
                         bool progressive) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, ycck ? JCS_YCCK : JCS_CMYK);
    cinfo.write_Adobe_marker = adobe || ycck;
    for (int i = 0; i < cinfo.num_components; ++i)  // no chroma subsampling: exact edges
        cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    jpeg_set_quality(&cinfo, 100, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&cmyk[std::size_t(cinfo.next_scanline) * width * 4]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return out;
}

std::string gifFile(const IndexedPicture& picture, bool interlaced, int transparent, int left, int top,
                    int screenWidth, int screenHeight) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendGif, &error);
    const int bits = bitsFor(picture.palette.size());
    std::vector<GifColorType> colours(std::size_t(1) << bits, GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < picture.palette.size(); ++i)
        colours[i] = {picture.palette[i][0], picture.palette[i][1], picture.palette[i][2]};
    ColorMapObject* map = GifMakeMapObject(int(colours.size()), colours.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, screenWidth ? screenWidth : picture.width,
                      screenHeight ? screenHeight : picture.height, bits, 0, map);
    if (transparent >= 0) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.TransparentColor = transparent;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension);
    }
    EGifPutImageDesc(gif, left, top, picture.width, picture.height, interlaced, nullptr);
    std::vector<int> order;
    if (interlaced) {
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < picture.height; y += step[pass]) order.push_back(y);
    } else {
        for (int y = 0; y < picture.height; ++y) order.push_back(y);
    }
    for (int y : order) {
        std::vector<GifPixelType> line(picture.indices.begin() + std::ptrdiff_t(y) * picture.width,
                                       picture.indices.begin() + std::ptrdiff_t(y + 1) * picture.width);
        EGifPutLine(gif, line.data(), picture.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::string bmpFile(const TestPicture& picture, int bitsPerPixel, bool topDown) {
    const int bytes = bitsPerPixel / 8;
    const std::size_t stride = (std::size_t(picture.width) * bytes + 3) / 4 * 4;
    std::string s = "BM";
    put32(s, std::uint32_t(54 + stride * picture.height));
    put32(s, 0);
    put32(s, 54);
    put32(s, 40);
    put32(s, picture.width);
    put32(s, std::uint32_t(topDown ? -picture.height : picture.height));
    put16(s, 1);
    put16(s, bitsPerPixel);
    put32(s, 0);
    put32(s, std::uint32_t(stride * picture.height));
    put32(s, 2835);
    put32(s, 2835);
    put32(s, 0);
    put32(s, 0);
    for (int i = 0; i < picture.height; ++i) {
        const int y = topDown ? i : picture.height - 1 - i;
        std::size_t written = 0;
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* px = picture.pixel(x, y);
            s += char(px[2]);
            s += char(px[1]);
            s += char(px[0]);
            if (bytes == 4) s += char(px[3]);
            written += bytes;
        }
        s.append(stride - written, '\0');
    }
    return s;
}

std::string bmpPaletteFile(const IndexedPicture& picture) {
    const std::size_t stride = (std::size_t(picture.width) + 3) / 4 * 4;
    const std::uint32_t offset = 54 + 256 * 4;
    std::string s = "BM";
    put32(s, std::uint32_t(offset + stride * picture.height));
    put32(s, 0);
    put32(s, offset);
    put32(s, 40);
    put32(s, picture.width);
    put32(s, picture.height);
    put16(s, 1);
    put16(s, 8);
    put32(s, 0);
    put32(s, std::uint32_t(stride * picture.height));
    put32(s, 2835);
    put32(s, 2835);
    put32(s, 256);
    put32(s, 0);
    for (int i = 0; i < 256; ++i) {
        const Rgb c = i < int(picture.palette.size()) ? picture.palette[i] : Rgb{0, 0, 0};
        s += char(c[2]);
        s += char(c[1]);
        s += char(c[0]);
        s += '\0';
    }
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x) s += char(picture.indices[std::size_t(y) * picture.width + x]);
        s.append(stride - picture.width, '\0');
    }
    return s;
}

namespace {

unsigned maskShift(std::uint32_t mask) {
    unsigned shift = 0;
    while (mask && !(mask >> shift & 1)) ++shift;
    return shift;
}
unsigned maskBits(std::uint32_t mask) {
    unsigned bits = 0;
    for (mask >>= maskShift(mask); mask & 1; mask >>= 1) ++bits;
    return bits;
}
std::uint32_t intoMask(std::uint8_t v, std::uint32_t mask) {
    const unsigned bits = maskBits(mask);
    if (bits == 0) return 0;
    const std::uint32_t q = bits >= 8 ? std::uint32_t(v) << (bits - 8) : std::uint32_t(v) >> (8 - bits);
    return q << maskShift(mask);
}

}  // namespace

std::string bmpVariantFile(const TestPicture& picture, const IndexedPicture& indexed, const BmpVariant& v) {
    const bool core = v.headerSize == 12;
    const bool indexedLayout = v.bitsPerPixel <= 8;
    const int width = indexedLayout ? indexed.width : picture.width;
    const int height = indexedLayout ? indexed.height : picture.height;
    std::string header(std::size_t(v.headerSize), '\0');
    auto set16 = [&](std::size_t at, unsigned value) {
        if (at + 2 <= header.size()) header.replace(at, 2, std::string{char(value), char(value >> 8)});
    };
    auto set32 = [&](std::size_t at, std::uint32_t value) {
        set16(at, value & 0xFFFF);
        set16(at + 2, value >> 16);
    };
    set32(0, std::uint32_t(v.headerSize));
    if (core) {
        set16(4, unsigned(width));
        set16(6, unsigned(height));
        set16(8, 1);
        set16(10, unsigned(v.bitsPerPixel));
    } else {
        set32(4, std::uint32_t(width));
        set32(8, std::uint32_t(v.topDown ? -height : height));
        set16(12, 1);
        set16(14, unsigned(v.bitsPerPixel));
        set32(16, std::uint32_t(v.compression));
        set32(32, std::uint32_t(v.coloursUsed));
    }
    std::string masks;
    for (std::size_t i = 0; i < v.masks.size(); ++i) {
        if (v.headerSize == 40) put32(masks, v.masks[i]);
        else set32(40 + 4 * i, v.masks[i]);
    }
    std::string palette;
    for (int i = 0; i < v.paletteEntries; ++i) {
        const Rgb c = i < int(indexed.palette.size()) ? indexed.palette[std::size_t(i)]
                                                      : Rgb{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
        palette += char(c[2]);
        palette += char(c[1]);
        palette += char(c[0]);
        if (!core) palette += '\0';
    }
    const std::string gap(std::size_t(v.gap), '\xEE');
    const std::size_t stride = (std::size_t(width) * v.bitsPerPixel + 31) / 32 * 4;
    std::string pixels;
    for (int i = 0; i < height; ++i) {
        const int y = v.topDown ? i : height - 1 - i;
        std::string row(stride, '\0');
        for (int x = 0; x < width; ++x) {
            if (indexedLayout) {
                const unsigned index = indexed.indices[std::size_t(y) * width + x];
                const std::size_t bit = std::size_t(x) * v.bitsPerPixel;
                row[bit / 8] = char(std::uint8_t(row[bit / 8]) | index << (8 - v.bitsPerPixel - bit % 8));
                continue;
            }
            const std::uint8_t* px = picture.pixel(x, y);
            std::uint32_t value = 0;
            if (!v.masks.empty()) {
                for (std::size_t c = 0; c < v.masks.size(); ++c) value |= intoMask(px[c], v.masks[c]);
            } else if (v.bitsPerPixel == 16) {
                value = std::uint32_t(px[0] >> 3) << 10 | std::uint32_t(px[1] >> 3) << 5 | px[2] >> 3;
            } else {
                value = std::uint32_t(px[3]) << 24 | std::uint32_t(px[0]) << 16 | std::uint32_t(px[1]) << 8 | px[2];
            }
            for (int b = 0; b < v.bitsPerPixel / 8; ++b) row[std::size_t(x) * (v.bitsPerPixel / 8) + b] = char(value >> (8 * b));
        }
        pixels += row;
    }
    const std::uint32_t offset = std::uint32_t(14 + header.size() + masks.size() + palette.size() + gap.size());
    std::string s = "BM";
    put32(s, std::uint32_t(offset + pixels.size()));
    put32(s, 0);
    put32(s, offset);
    return s + header + masks + palette + gap + pixels;
}

namespace {

// Appends the run-length code of one row of indices.
void encodeRunLengthRow(std::string& s, const std::vector<std::uint8_t>& row, int bits) {
    const std::size_t width = row.size();
    auto absolute = [&](std::size_t from, std::size_t count) {
        s += '\0';
        s += char(count);
        std::string bytes;
        for (std::size_t i = 0; i < count; ++i) {
            if (bits == 8) {
                bytes += char(row[from + i]);
            } else if (i % 2 == 0) {
                bytes += char(row[from + i] << 4);
            } else {
                bytes.back() = char(bytes.back() | row[from + i]);
            }
        }
        if (bytes.size() % 2) bytes += '\0';
        s += bytes;
    };
    std::size_t i = 0;
    while (i < width) {
        std::size_t run = 1;
        while (i + run < width && run < 255 && row[i + run] == row[i]) ++run;
        if (run >= 2) {
            s += char(run);
            s += char(bits == 8 ? row[i] : row[i] << 4 | row[i]);
            i += run;
            continue;
        }
        std::size_t literal = 1;
        while (i + literal < width && literal < 255 &&
               !(i + literal + 1 < width && row[i + literal] == row[i + literal + 1]))
            ++literal;
        if (literal >= 3) {
            absolute(i, literal);
        } else {
            for (std::size_t k = 0; k < literal; ++k) {
                s += '\1';
                s += char(bits == 8 ? row[i + k] : row[i + k] << 4);
            }
        }
        i += literal;
    }
    s += std::string("\0\0", 2);  // end of line
}

}  // namespace

std::string bmpRunLengthStream(int width, int height, int bits, const std::vector<Rgb>& palette,
                               const std::string& stream) {
    const std::uint32_t offset = std::uint32_t(54 + palette.size() * 4);
    std::string s = "BM";
    put32(s, std::uint32_t(offset + stream.size()));
    put32(s, 0);
    put32(s, offset);
    put32(s, 40);
    put32(s, width);
    put32(s, height);
    put16(s, 1);
    put16(s, bits);
    put32(s, bits == 8 ? 1 : 2);
    put32(s, std::uint32_t(stream.size()));
    put32(s, 2835);
    put32(s, 2835);
    put32(s, std::uint32_t(palette.size()));
    put32(s, 0);
    for (const Rgb& c : palette) {
        s += char(c[2]);
        s += char(c[1]);
        s += char(c[0]);
        s += '\0';
    }
    return s + stream;
}

std::string bmpRunLengthFile(const IndexedPicture& picture, int bits) {
    std::string stream;
    for (int y = picture.height - 1; y >= 0; --y) {
        const auto first = picture.indices.begin() + std::ptrdiff_t(y) * picture.width;
        encodeRunLengthRow(stream, std::vector<std::uint8_t>(first, first + picture.width), bits);
    }
    stream += std::string("\0\1", 2);  // end of bitmap
    return bmpRunLengthStream(picture.width, picture.height, bits, picture.palette, stream);
}

namespace {

std::string tgaHeader(int type, int mapLength, int width, int height, int bits, bool topDown, int alphaBits) {
    std::string s;
    s += '\0';                        // no image id
    s += char(mapLength ? 1 : 0);     // colour map type
    s += char(type);
    put16(s, 0);
    put16(s, mapLength);
    s += char(mapLength ? 24 : 0);
    put16(s, 0);
    put16(s, 0);
    put16(s, width);
    put16(s, height);
    s += char(bits);
    s += char(alphaBits | (topDown ? 0x20 : 0));
    return s;
}

// Run-length packets over whole pixels of `size` bytes.
std::string tgaRunLength(const std::string& raw, std::size_t size) {
    std::string out;
    const std::size_t pixels = raw.size() / size;
    for (std::size_t i = 0; i < pixels;) {
        std::size_t run = 1;
        while (i + run < pixels && run < 128 && raw.compare(i * size, size, raw, (i + run) * size, size) == 0) ++run;
        if (run > 1) {
            out += char(0x80 | (run - 1));
            out.append(raw, i * size, size);
            i += run;
            continue;
        }
        std::size_t literal = 1;
        while (i + literal < pixels && literal < 128 &&
               raw.compare((i + literal) * size, size, raw, (i + literal - 1) * size, size) != 0)
            ++literal;
        out += char(literal - 1);
        out.append(raw, i * size, literal * size);
        i += literal;
    }
    return out;
}

}  // namespace

std::string tgaFile(const TestPicture& picture, int bitsPerPixel, bool runLength, bool topDown) {
    std::string s = tgaHeader(runLength ? 10 : 2, 0, picture.width, picture.height, bitsPerPixel, topDown,
                              bitsPerPixel == 32 ? 8 : 0);
    std::string raw;
    for (int i = 0; i < picture.height; ++i) {
        const int y = topDown ? i : picture.height - 1 - i;
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* px = picture.pixel(x, y);
            raw += char(px[2]);
            raw += char(px[1]);
            raw += char(px[0]);
            if (bitsPerPixel == 32) raw += char(px[3]);
        }
    }
    return s + (runLength ? tgaRunLength(raw, bitsPerPixel / 8) : raw);
}

std::string tgaGreyFile(const TestPicture& picture, bool runLength) {
    std::string s = tgaHeader(runLength ? 11 : 3, 0, picture.width, picture.height, 8, false, 0);
    std::string raw;
    for (int y = picture.height - 1; y >= 0; --y)
        for (int x = 0; x < picture.width; ++x) raw += char(picture.pixel(x, y)[0]);
    return s + (runLength ? tgaRunLength(raw, 1) : raw);
}

std::string tgaMappedFile(const IndexedPicture& picture) {
    std::string s = tgaHeader(1, int(picture.palette.size()), picture.width, picture.height, 8, false, 0);
    for (const Rgb& c : picture.palette) {
        s += char(c[2]);
        s += char(c[1]);
        s += char(c[0]);
    }
    for (int y = picture.height - 1; y >= 0; --y)
        for (int x = 0; x < picture.width; ++x) s += char(picture.indices[std::size_t(y) * picture.width + x]);
    return s;
}

std::string pcxFile(const IndexedPicture& picture, PcxLayout layout, bool runLength) {
    int bits = 8, planes = 1;
    switch (layout) {
        case PcxLayout::mono: bits = 1; break;
        case PcxLayout::planar16: bits = 1; planes = 4; break;
        case PcxLayout::packed4Colours: bits = 2; break;
        case PcxLayout::packed16Colours: bits = 4; break;
        case PcxLayout::palette256: break;
    }
    int bytesPerLine = (picture.width * bits + 7) / 8;
    bytesPerLine += bytesPerLine & 1;  // even, as the format wants
    std::string s = pcxHeader(picture.width, picture.height, bits, planes, bytesPerLine, runLength,
                              layout == PcxLayout::palette256 ? std::vector<Rgb>{} : picture.palette);
    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> line(std::size_t(bytesPerLine) * planes, 0);
        for (int x = 0; x < picture.width; ++x) {
            const unsigned index = picture.indices[std::size_t(y) * picture.width + x];
            if (bits == 1) {
                for (int p = 0; p < planes; ++p)
                    if (index >> p & 1) line[std::size_t(p) * bytesPerLine + x / 8] |= std::uint8_t(0x80 >> (x % 8));
            } else {
                const int bit = x * bits;
                line[bit / 8] |= std::uint8_t(index << (8 - bits - bit % 8));
            }
        }
        pcxEncodeLine(s, line, runLength);
    }
    if (layout == PcxLayout::palette256) {
        s += char(0x0C);
        for (int i = 0; i < 256; ++i) {
            const Rgb c = i < int(picture.palette.size()) ? picture.palette[i] : Rgb{0, 0, 0};
            s.append(reinterpret_cast<const char*>(c.data()), 3);
        }
    }
    return s;
}

std::string pcxTrueColourFile(const TestPicture& picture, bool runLength) {
    const int bytesPerLine = picture.width + (picture.width & 1);
    std::string s = pcxHeader(picture.width, picture.height, 8, 3, bytesPerLine, runLength, {});
    for (int y = 0; y < picture.height; ++y) {
        std::vector<std::uint8_t> line(std::size_t(bytesPerLine) * 3, 0);
        for (int x = 0; x < picture.width; ++x)
            for (int c = 0; c < 3; ++c) line[std::size_t(c) * bytesPerLine + x] = picture.pixel(x, y)[c];
        pcxEncodeLine(s, line, runLength);
    }
    return s;
}

std::vector<std::pair<std::string, std::string>> allFixtureFiles() {
    const TestPicture opaque = testPicture(13, 9);
    const TestPicture alpha = testPicture(13, 9, true);
    const IndexedPicture indexed16 = indexedPicture(13, 9, 16);
    const IndexedPicture runs = runLengthPicture(13, 9, 16);
    std::vector<std::uint8_t> cmyk;
    for (std::size_t i = 0; i < opaque.rgba.size(); ++i) cmyk.push_back(opaque.rgba[i]);
    return {
        {"rgb.png", pngFile(opaque, PngLayout::rgb)},
        {"rgba.png", pngFile(alpha, PngLayout::rgba)},
        {"grey.png", pngFile(opaque, PngLayout::grey)},
        {"grey_alpha.png", pngFile(alpha, PngLayout::greyAlpha)},
        {"rgb16.png", pngFile(opaque, PngLayout::rgb16)},
        {"interlaced.png", pngFile(alpha, PngLayout::rgba, true)},
        {"grey16_interlaced.png", pngFile(opaque, PngLayout::grey16, true)},
        {"rgb16_interlaced.png", pngFile(opaque, PngLayout::rgb16, true)},
        {"rgba16_interlaced.png", pngFile(alpha, PngLayout::rgba16, true)},
        {"palette.png", pngPaletteFile(indexed16, 4, 3)},
        {"turned_exif.png", withPngChunk(pngFile(opaque, PngLayout::rgb), "eXIf", exifOrientationBlock(6).substr(6))},
        {"linear_alpha.png", withPngChunk(pngFile(alpha, PngLayout::rgba16), "gAMA", std::string("\0\x01\x86\xA0", 4))},
        {"baseline.jpg", jpegFile(opaque, JpegKind::baseline)},
        {"progressive.jpg", jpegFile(opaque, JpegKind::progressive)},
        {"grey.jpg", jpegFile(opaque, JpegKind::grey)},
        {"turned.jpg", withApp1(jpegFile(opaque, JpegKind::baseline), exifOrientationBlock(6))},
        {"transverse_le.jpg", withApp1(jpegFile(opaque, JpegKind::baseline), exifOrientationBlock(7, false))},
        {"cmyk.jpg", cmykJpegFile(opaque.width, opaque.height, cmyk, false)},
        {"adobe_cmyk.jpg", cmykJpegFile(opaque.width, opaque.height, cmyk, true)},
        {"ycck.jpg", cmykJpegFile(opaque.width, opaque.height, cmyk, true, true)},
        {"plain.gif", gifFile(indexed16, false)},
        {"interlaced.gif", gifFile(indexedPicture(13, 19, 16), true, 2)},
        {"offset.gif", gifFile(indexed16, false, -1, 2, 3, 20, 15)},
        {"rgb24.bmp", bmpFile(opaque, 24)},
        {"rgba32.bmp", bmpFile(alpha, 32, true)},
        {"palette.bmp", bmpPaletteFile(indexed16)},
        {"os2_core.bmp", bmpVariantFile(opaque, indexed16, {12, 8, 0, {}, 16})},
        {"os2_v2.bmp", bmpVariantFile(opaque, indexed16, {64, 4, 0, {}, 16, 16})},
        {"v5_alpha.bmp", bmpVariantFile(alpha, indexed16, {124, 32, 3, {0xFF00, 0xFF0000, 0xFF000000, 0xFF}})},
        {"bitfields565.bmp", bmpVariantFile(opaque, indexed16, {40, 16, 3, {0xF800, 0x07E0, 0x001F}, 0, 0, 6})},
        {"rle8.bmp", bmpRunLengthFile(runs, 8)},
        {"rle4.bmp", bmpRunLengthFile(runs, 4)},
        {"rgb24.tga", tgaFile(opaque, 24, false)},
        {"rgba32_rle.tga", tgaFile(alpha, 32, true, true)},
        {"grey_rle.tga", tgaGreyFile(opaque, true)},
        {"mapped.tga", tgaMappedFile(indexed16)},
        {"mono.pcx", pcxFile(indexedPicture(13, 9, 2), PcxLayout::mono)},
        {"planar16.pcx", pcxFile(indexed16, PcxLayout::planar16)},
        {"packed4.pcx", pcxFile(indexedPicture(13, 9, 4), PcxLayout::packed4Colours)},
        {"packed16.pcx", pcxFile(indexed16, PcxLayout::packed16Colours, false)},
        {"palette256.pcx", pcxFile(indexedPicture(13, 9, 200), PcxLayout::palette256)},
        {"truecolour.pcx", pcxTrueColourFile(opaque)},
    };
}
