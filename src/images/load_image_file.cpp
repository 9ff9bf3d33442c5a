#include "images/load_image_file.h"

#include <new>
#include <vector>

#include "images/decode_image_memory.h"
#include "images/file_bytes.h"
#include "images/tiff_reader.h"
#include "images/tiff_signature.h"

std::unique_ptr<RGBImage> loadImageFile(const char* path) {
    if (!path) return nullptr;
    try {
        // TIFF files are read by libtiff straight from the file, row by row,
        // so they are recognised from the first bytes without reading them
        // whole (and may be larger than the in-memory limit).
        std::vector<unsigned char> bytes;
        if (!readFileHead(path, 4, bytes)) return nullptr;
        if (isTiffSignature(bytes.data(), bytes.size())) return loadTiff(path);

        if (!readFileBytes(path, kMaxImageFileBytes, bytes)) return nullptr;
        return decodeImageMemory(bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        // The loader thread must live on; the provider drops the file.
        return nullptr;
    }
}
