#pragma once
#include <png.h>

#include <cstddef>
#include <cstring>

// What the PNG readers that drive libpng's row interface share: the file in
// memory as libpng's input, and the read state it owns.

struct PngMemorySource {
    const unsigned char* data;
    std::size_t size;
    std::size_t pos;
};

inline void readPngFromMemory(png_structp png, png_bytep out, std::size_t count) {
    auto* source = static_cast<PngMemorySource*>(png_get_io_ptr(png));
    if (count > source->size - source->pos) png_error(png, "cut short");
    std::memcpy(out, source->data + source->pos, count);
    source->pos += count;
}

// Damaged files are refused without a word, as everywhere else.
inline void quietPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
inline void quietPngWarning(png_structp, png_const_charp) {}

class PngReadStruct {
public:
    PngReadStruct()
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietPngError,
                                      quietPngWarning)),
          info_(png_ ? png_create_info_struct(png_) : nullptr) {}
    ~PngReadStruct() {
        if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
    }
    PngReadStruct(const PngReadStruct&) = delete;
    PngReadStruct& operator=(const PngReadStruct&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_;
    png_infop info_;
};
