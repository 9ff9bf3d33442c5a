#include "images/gif_decoder.h"

#include <gif_lib.h>

#include <cstring>
#include <vector>

#include "images/canvas_bound.h"

namespace {

struct MemorySource {
    const unsigned char* data;
    std::size_t size;
    std::size_t pos;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<MemorySource*>(gif->UserData);
    if (count <= 0) return 0;
    std::size_t n = static_cast<std::size_t>(count);
    if (n > source->size - source->pos) n = source->size - source->pos;
    std::memcpy(out, source->data + source->pos, n);
    source->pos += n;
    return static_cast<int>(n);
}

class GifReader {
public:
    explicit GifReader(MemorySource& source) {
        int error = 0;
        gif_ = DGifOpen(&source, readFromMemory, &error);
    }
    ~GifReader() {
        int error = 0;
        if (gif_) DGifCloseFile(gif_, &error);
    }
    GifReader(const GifReader&) = delete;
    GifReader& operator=(const GifReader&) = delete;

    GifFileType* get() const { return gif_; }

private:
    GifFileType* gif_ = nullptr;
};

constexpr int kNoTransparency = -1;

// Reads the extension blocks before the first frame, keeping the
// transparent index of a graphic control block if there is one.
bool readExtension(GifFileType* gif, int& transparent) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    while (block) {
        if (code == GRAPHICS_EXT_FUNC_CODE) {
            GraphicsControlBlock control;
            if (block[0] == 4 && DGifExtensionToGCB(4, block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
        }
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// Buffer rows of the frame in the order its lines are stored: interlaced
// frames store every 8th line from 0, every 8th from 4, every 4th from 2,
// then every 2nd from 1.
std::vector<int> lineOrder(int height, bool interlaced) {
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y) order.push_back(y);
        return order;
    }
    static const int start[] = {0, 4, 2, 1};
    static const int step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass]) order.push_back(y);
    return order;
}

struct Palette {
    const GifColorType* colours;
    int count;
};

// A file without a global or a local colour table: black and white, as
// decoders commonly do; every other index is black.
Palette defaultPalette() {
    static const GifColorType kBlackAndWhite[] = {{0, 0, 0}, {255, 255, 255}};
    return {kBlackAndWhite, 2};
}

std::unique_ptr<RGBImage> readFrame(GifFileType* gif, int transparent) {
    if (DGifGetImageDesc(gif) == GIF_ERROR) return nullptr;
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    const Palette palette = map && map->Colors ? Palette{map->Colors, map->ColorCount} : defaultPalette();
    if (!imageSizeAcceptable(frame.Width, frame.Height)) return nullptr;

    // The logical screen frames the picture when the frame fits on it;
    // files whose screen is missing, too small or hugely larger than the
    // frame show the frame alone.
    long long width = gif->SWidth, height = gif->SHeight;
    long long left = frame.Left, top = frame.Top;
    if (left < 0 || top < 0 || left + frame.Width > width || top + frame.Height > height ||
        !imageSizeAcceptable(width, height) ||
        !canvasFramesPicture(width, height, frame.Width, frame.Height)) {
        width = frame.Width;
        height = frame.Height;
        left = top = 0;
    }
    auto result = makeRGBImage(width, height);
    if (!result) return nullptr;
    std::memset(result->pixels, 0, static_cast<std::size_t>(width) * height * 3);

    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    for (int y : lineOrder(frame.Height, frame.Interlace)) {
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) return nullptr;
        const int bufferRow = static_cast<int>(height - 1 - (top + y));
        unsigned char* out = result->row(bufferRow) + left * 3;
        for (int x = 0; x < frame.Width; ++x, out += 3) {
            const int index = line[static_cast<std::size_t>(x)];
            if (index == transparent || index >= palette.count) continue;  // stays black
            const GifColorType& c = palette.colours[index];
            out[0] = c.Red;
            out[1] = c.Green;
            out[2] = c.Blue;
        }
    }
    return result;
}

}  // namespace

bool isGif(const unsigned char* data, std::size_t size) {
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

std::unique_ptr<RGBImage> decodeGif(const unsigned char* data, std::size_t size) {
    if (!isGif(data, size)) return nullptr;
    MemorySource source{data, size, 0};
    GifReader reader(source);
    GifFileType* gif = reader.get();
    if (!gif) return nullptr;

    int transparent = kNoTransparency;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) return nullptr;
        switch (record) {
            case IMAGE_DESC_RECORD_TYPE:
                return readFrame(gif, transparent);
            case EXTENSION_RECORD_TYPE:
                if (!readExtension(gif, transparent)) return nullptr;
                break;
            default:  // end of file before any frame, or garbage
                return nullptr;
        }
    }
}
