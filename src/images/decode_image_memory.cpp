#include "images/decode_image_memory.h"

#include <new>

#include "images/bmp_decoder.h"
#include "images/gif_decoder.h"
#include "images/heif_decoder.h"
#include "images/jpeg_decoder.h"
#include "images/pcx_decoder.h"
#include "images/png_decoder.h"
#include "images/tga_decoder.h"
#include "images/webp_decoder.h"

namespace {

using Decode = std::unique_ptr<RGBImage> (*)(const unsigned char*, std::size_t,
                                             const PictureNeed&);

// The decoders that cannot stop early decode the whole picture; the texture
// code sizes it down once, straight to the texture.
template <std::unique_ptr<RGBImage> (*decode)(const unsigned char*, std::size_t)>
std::unique_ptr<RGBImage> wholePicture(const unsigned char* data, std::size_t size,
                                       const PictureNeed&) {
    return decode(data, size);
}

struct Decoder {
    bool (*recognises)(const unsigned char*, std::size_t);
    Decode decode;
};

// In this order; TGA, which has no signature, only after the formats that do.
constexpr Decoder kDecoders[] = {
    {isPng, decodePngFor},              {isJpeg, decodeJpegFor},
    {isHeif, wholePicture<decodeHeif>}, {isWebp, decodeWebpFor},
    {isPcx, wholePicture<decodePcx>},   {isBmp, wholePicture<decodeBmp>},
    {isTga, wholePicture<decodeTga>},   {isGif, wholePicture<decodeGif>},
};

}  // namespace

std::unique_ptr<RGBImage> decodeImageMemory(const unsigned char* data, std::size_t size,
                                            const PictureNeed& need) {
    if (!data) return nullptr;
    for (const Decoder& decoder : kDecoders) {
        if (!decoder.recognises(data, size)) continue;
        try {
            if (auto image = decoder.decode(data, size, need)) return image;
        } catch (const std::bad_alloc&) {
            // Too little memory for this picture; another decoder will not do better.
            return nullptr;
        }
    }
    return nullptr;
}

bool recognisesImage(const unsigned char* data, std::size_t size) {
    if (!data) return false;
    for (const Decoder& decoder : kDecoders)
        if (decoder.recognises(data, size)) return true;
    return false;
}
