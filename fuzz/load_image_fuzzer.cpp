// libFuzzer entry: every non-TIFF decoder through the same in-memory entry
// that loadImageFile uses; input that looks like TIFF goes through a real
// file, since libtiff reads by path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "images/decode_image_memory.h"
#include "images/load_image_file.h"
#include "images/tiff_signature.h"

namespace {

std::string tiffPath() {
    return "/tmp/glimmora_fuzz_" + std::to_string(getpid()) + ".tif";
}

void decodeAsFile(const std::uint8_t* data, std::size_t size) {
    static const std::string path = tiffPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    const bool written = std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (written) loadImageFile(path.c_str());
    std::remove(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (isTiffSignature(data, size)) {
        decodeAsFile(data, size);
        return 0;
    }
    decodeImageMemory(data, size);
    return 0;
}
