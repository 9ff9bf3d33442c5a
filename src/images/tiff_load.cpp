// loadTiff: a whole TIFF file as an RGB picture, through the row reader or,
// for colour spaces it does not read as stored, libtiff's own conversion.
#include <tiffio.h>

#include "images/tiff_converted.h"
#include "images/tiff_directory.h"
#include "images/tiff_reader.h"

namespace {

// Null when the file reads as stored (or cannot be opened at all): then
// the row reader takes it.
std::unique_ptr<RGBImage> loadIfConverted(const char* path, bool& converted) {
    silenceLibtiff();
    TiffHandle handle(TIFFOpen(path, "r"));
    converted = handle && !photometricReadAsStored(handle.get());
    return converted ? loadConvertedTiff(handle.get(), path) : nullptr;
}

}  // namespace

std::unique_ptr<RGBImage> loadTiff(const char* path) {
    if (!path) return nullptr;
    bool converted = false;
    auto image = loadIfConverted(path, converted);
    if (converted) return image;

    TiffReader reader;
    reader.fileName = path;
    if (!openTiff(reader, 1)) return nullptr;

    const int colours = reader.layout & 3;
    if (colours != 1 && colours != 3) return nullptr;

    image = makeRGBImage(reader.width, reader.height);
    if (!image) return nullptr;
    const auto width = static_cast<std::size_t>(reader.width);
    const std::size_t channels = reader.channels;
    TiffBuffer rowBuffer(static_cast<unsigned char*>(std::malloc(reader.pixelBytes * width)));
    if (!rowBuffer) return nullptr;

    // As browsers show it: each stored value times its alpha.
    const bool overBlack = reader.openState->unassociatedAlpha && channels == std::size_t(colours) + 1;
    auto over = [](unsigned value, unsigned alpha) { return static_cast<unsigned char>((value * alpha + 127u) / 255u); };
    for (std::int32_t i = 0; i < reader.height; ++i) {
        if (readTiffRow(reader, rowBuffer.get(), i) != 0) return nullptr;
        const unsigned char* source = rowBuffer.get();
        unsigned char* target = image->row(reader.height - 1 - i);
        if (colours == 3 && overBlack) {
            for (std::size_t x = 0; x < width; ++x, source += channels, target += 3)
                for (int c = 0; c < 3; ++c) target[c] = over(source[c], source[3]);
        } else if (colours == 3) {
            for (std::size_t x = 0; x < width; ++x, source += channels, target += 3) {
                target[0] = source[0];
                target[1] = source[1];
                target[2] = source[2];
            }
        } else if (overBlack) {
            for (std::size_t x = 0; x < width; ++x, source += channels, target += 3)
                target[0] = target[1] = target[2] = over(source[0], source[1]);
        } else {
            for (std::size_t x = 0; x < width; ++x, source += channels, target += 3)
                target[0] = target[1] = target[2] = source[0];
        }
    }
    const Orientation orientation = reader.openState->orientation;
    closeTiff(reader);
    return orientImage(std::move(image), orientation);
}
