// Writes one small valid file of every kind the image decoders read into
// the folder named on the command line, as a starting corpus for fuzzing.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "images/image_fixtures.h"
#include "images/tiff_fixtures.h"

namespace {

// A few TIFF variants from libtiff's own writer: the reader's paths for
// integer, float, compressed, planar, tiled (contiguous and planar),
// JPEG-compressed YCbCr, palette, min-is-white and turned files.
bool writeTiffSeeds(const std::string& folder) {
    struct Seed {
        const char* name;
        TiffFixture fixture;
    };
    const Seed seeds[] = {
        {"grey8.tif", {4, 3, 8, 1, 1, 1, 1, false, {}, 0, 0, 0}},
        {"rgb16.tif", {4, 3, 16, 1, 3, 2, 1, false, {}, 0, 1, 0}},
        {"rgba32f.tif", {4, 3, 32, 3, 4, 2, 1, false, {1}, 0, 0, 0}},
        {"rgb8-planar-lzw.tif", {4, 3, 8, 1, 3, 2, 5, true, {}, 0, 2, 0}},
        {"rgb8-deflate.tif", {4, 3, 8, 1, 3, 2, 8, false, {}, 0, 3, 0}},
        {"rgb8-packbits.tif", {4, 3, 8, 1, 3, 2, 32773, false, {}, 0, 0, 0}},
        {"grey32u.tif", {4, 3, 32, 1, 1, 1, 1, false, {}, 0, 0, 0}},
        {"rgb8-pixarlog.tif", {4, 3, 8, 1, 3, 2, 32909, false, {}, 0, 1, 0}},
        {"grey8-tiled.tif", {20, 20, 8, 1, 1, 1, 1, false, {}, 0, 0, 16}},
        {"rgb16-tiled-planar-deflate.tif", {20, 18, 16, 1, 3, 2, 8, true, {}, 0, 0, 16}},
        {"rgba8-tiled-lzw.tif", {20, 18, 8, 1, 4, 2, 5, false, {2}, 0, 0, 16}},
        {"ycbcr-jpeg.tif", {20, 18, 8, 1, 3, 2, 7, false, {}, 0, 16, 0, false, 2}},
        {"ycbcr-jpeg-tiled.tif", {20, 18, 8, 1, 3, 2, 7, false, {}, 0, 0, 16, false, 2}},
        {"palette8.tif", {4, 3, 8, 1, 1, 3, 1, false, {}, 0, 0, 0}},
        {"palette16-lzw.tif", {4, 3, 16, 1, 1, 3, 5, false, {}, 0, 0, 0}},
        {"palette8-alpha-planar.tif", {4, 3, 8, 1, 2, 3, 1, true, {1}, 0, 0, 0}},
        {"miniswhite16.tif", {4, 3, 16, 1, 1, 0, 1, false, {}, 0, 0, 0}},
        {"rgb8-turned.tif", {4, 3, 8, 1, 3, 2, 1, false, {}, 6, 0, 0}},
        {"grey8-transverse.tif", {4, 3, 8, 1, 1, 1, 32773, false, {}, 7, 0, 0}},
    };
    for (const Seed& seed : seeds) {
        const TiffFixture& f = seed.fixture;
        const std::size_t bytes = static_cast<std::size_t>(f.width) * f.height *
                                  f.samplesPerPixel * (f.bitsPerSample / 8);
        std::vector<unsigned char> samples(bytes);
        for (std::size_t i = 0; i < bytes; ++i) samples[i] = static_cast<unsigned char>(i * 37);
        if (f.sampleFormat == 3) {
            std::vector<float> values(bytes / 4);
            for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i % 7) / 6.0f;
            samples = sampleBytes(values);
        }
        if (!writeTiff(folder + "/" + seed.name, f, samples)) {
            std::fprintf(stderr, "cannot write %s\n", seed.name);
            return false;
        }
    }
    return true;
}

// HEIC, AVIF and WebP come from Debian's encoders through the script that
// writes the tests' fixtures: plain, alpha, 10-bit, grid, turned, mirrored,
// EXIF-oriented, animated and sequence files.
bool writePhoneSeeds(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path work = fs::path(folder) / ".phone-pictures";
    const std::string command =
        "bash '" GLIMMORA_PHONE_PICTURE_SCRIPT "' '" + work.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "cannot write the HEIC, AVIF and WebP seeds: %s\n", command.c_str());
        return false;
    }
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(work, error)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".heic" && extension != ".avif" && extension != ".webp") continue;
        fs::copy_file(entry.path(), fs::path(folder) / entry.path().filename(),
                      fs::copy_options::overwrite_existing, error);
        if (error) break;
    }
    fs::remove_all(work);
    if (error) std::fprintf(stderr, "cannot copy the HEIC, AVIF and WebP seeds\n");
    return !error;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& [name, bytes] : allFixtureFiles()) {
        const std::string path = std::string(argv[1]) + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            if (file) std::fclose(file);
            return 1;
        }
        std::fclose(file);
    }
    return writeTiffSeeds(argv[1]) && writePhoneSeeds(argv[1]) ? 0 : 1;
}
