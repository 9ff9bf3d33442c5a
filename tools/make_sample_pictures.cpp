// Writes a handful of colourful pictures (JPEG and PNG, assorted sizes and
// proportions) into a folder, so the saver can be tried without a picture
// collection of one's own.
#include <png.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width, height;
    std::vector<unsigned char> rgb;  // top row first
};

// Smooth colour waves with a bright frame, different for every index, so
// each picture is recognisable on screen and its edges are easy to judge.
Picture paint(int index, int width, int height) {
    Picture p{width, height, std::vector<unsigned char>(static_cast<size_t>(width) * height * 3)};
    const double phase = index * 1.7;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
            unsigned char* px = &p.rgb[(static_cast<size_t>(y) * width + x) * 3];
            const bool frame = x < width / 40 || y < height / 40 || x >= width - width / 40 ||
                               y >= height - height / 40;
            if (frame) {
                px[0] = px[1] = px[2] = 240;
                continue;
            }
            const double r = std::sin(6.0 * u + phase) * std::cos(4.0 * v - phase);
            const double g = std::sin(5.0 * v + 2.0 * phase + 3.0 * u * v);
            const double b = std::cos(7.0 * (u - v) + phase);
            px[0] = static_cast<unsigned char>(127.5 + 127.0 * r);
            px[1] = static_cast<unsigned char>(127.5 + 127.0 * g);
            px[2] = static_cast<unsigned char>(127.5 + 127.0 * b);
        }
    }
    return p;
}

bool writeJpeg(const std::string& path, const Picture& p) {
    tjhandle handle = tjInitCompress();
    if (!handle) return false;
    unsigned char* data = nullptr;
    unsigned long size = 0;
    const bool ok = tjCompress2(handle, p.rgb.data(), p.width, 0, p.height, TJPF_RGB, &data, &size,
                                TJSAMP_420, 90, 0) == 0;
    bool written = false;
    if (ok) {
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            written = std::fwrite(data, 1, size, f) == size;
            written = std::fclose(f) == 0 && written;
        }
    }
    tjFree(data);
    tjDestroy(handle);
    return written;
}

bool writePng(const std::string& path, const Picture& p) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(p.width);
    image.height = static_cast<png_uint_32>(p.height);
    image.format = PNG_FORMAT_RGB;
    const bool ok = png_image_write_to_file(&image, path.c_str(), 0, p.rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const struct { int w, h; bool png; } sizes[] = {
        {1600, 1200, false}, {1200, 1600, false}, {1920, 1080, false}, {800, 800, true},
        {2400, 1000, false}, {640, 480, true},    {1024, 1536, false}, {1500, 1000, true},
    };
    int index = 0;
    for (const auto& s : sizes) {
        char name[64];
        std::snprintf(name, sizeof name, "sample-%02d.%s", index + 1, s.png ? "png" : "jpg");
        const Picture picture = paint(index, s.w, s.h);
        const std::string path = (folder / name).string();
        if (!(s.png ? writePng(path, picture) : writeJpeg(path, picture))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        ++index;
    }
    std::printf("%d sample pictures in %s\n", index, folder.string().c_str());
    return 0;
}
