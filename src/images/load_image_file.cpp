#include "images/load_image_file.h"

#include <new>
#include <vector>

#include "images/decode_image_memory.h"
#include "images/file_bytes.h"
#include "images/tiff_reader.h"
#include "images/tiff_signature.h"

std::unique_ptr<RGBImage> loadImageFile(const char* path, const PictureNeed& need) {
    if (!path) return nullptr;
    try {
        // The walk hands over every file below the picture folders, videos
        // and archives too: the head tells whether the rest is worth reading.
        FileReader file(path);
        std::vector<unsigned char> bytes;
        if (!file.read(kImageHeadBytes, bytes)) return nullptr;
        // TIFF files are read by libtiff straight from the file, row by row
        // (and may be larger than the in-memory limit).
        if (isTiffSignature(bytes.data(), bytes.size())) return loadTiff(path);
        if (!recognisesImage(bytes.data(), bytes.size())) return nullptr;

        if (!file.readRest(kMaxImageFileBytes, bytes)) return nullptr;
        return decodeImageMemory(bytes.data(), bytes.size(), need);
    } catch (const std::bad_alloc&) {
        // The loader thread must live on; the provider drops the file.
        return nullptr;
    }
}
