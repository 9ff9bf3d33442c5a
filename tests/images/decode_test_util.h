#pragma once
#include <memory>
#include <string>

#include "images/decode_image_memory.h"

inline std::unique_ptr<RGBImage> decode(const std::string& bytes) {
    return decodeImageMemory(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}
