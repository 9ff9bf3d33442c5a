// Loading a 12-megapixel HEIC and AVIF photo through loadImageFile, beside a
// bare libheif decode of the same bytes into a buffer that is reused: the
// saver's path may add the file read, the bottom-up copy and its
// bookkeeping, nothing more. The files come from Debian's encoders
// (heif-enc, avifenc), as a phone would write them, from photograph-like
// content; making them takes a minute.
#include <benchmark/benchmark.h>
#include <libheif/heif.h>
#include <turbojpeg.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "images/file_bytes.h"
#include "images/load_image_file.h"
#include "photograph.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

void writeBytes(const std::string& path, const void* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size) throw std::runtime_error("cannot write " + path);
    std::fclose(file);
}

void run(const std::string& command) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

struct Fixtures {
    std::filesystem::path dir;
    std::string heicPath, avifPath;
    std::vector<unsigned char> heic, avif;

    Fixtures() {
        dir = std::filesystem::temp_directory_path() / "glimmora_phone_bench";
        std::filesystem::create_directories(dir);
        const std::string source = (dir / "source.jpg").string();
        heicPath = (dir / "photo.heic").string();
        avifPath = (dir / "photo.avif").string();

        const std::vector<unsigned char> rgb = photographPixels(kWidth, kHeight, 0.0019f, 0.0027f, 12);
        tjhandle compressor = tjInitCompress();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjCompress2(compressor, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &out, &size, TJSAMP_444, 95, 0);
        writeBytes(source, out, size);
        tjFree(out);
        tjDestroy(compressor);

        // Phone-like settings: 4:2:0 at the quality cameras use.
        run("heif-enc -q 80 -p preset=fast -o '" + heicPath + "' '" + source + "'");
        run("avifenc -s 8 -j 2 --min 20 --max 30 '" + source + "' '" + avifPath + "'");
        if (!readFileBytes(heicPath.c_str(), kMaxImageFileBytes, heic) ||
            !readFileBytes(avifPath.c_str(), kMaxImageFileBytes, avif))
            throw std::runtime_error("cannot read the encoded photos");
    }
    ~Fixtures() { std::filesystem::remove_all(dir); }
};

const Fixtures& fixtures() {
    static const Fixtures f;
    return f;
}

// libheif alone: parse, decode to interleaved RGB, copy into `out`, which
// every call reuses.
bool bareDecode(const std::vector<unsigned char>& bytes, std::vector<unsigned char>& out) {
    heif_context* context = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    const bool ok =
        heif_context_read_from_memory_without_copy(context, bytes.data(), bytes.size(), nullptr).code ==
            heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
        heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr)
                .code == heif_error_Ok;
    if (ok) {
        int stride = 0;
        const std::uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
        const std::size_t rowBytes = std::size_t(kWidth) * 3;
        for (int y = 0; y < kHeight; ++y)
            std::memcpy(out.data() + y * rowBytes, plane + std::size_t(y) * stride, rowBytes);
        benchmark::DoNotOptimize(out.data());
    }
    if (image) heif_image_release(image);
    if (handle) heif_image_handle_release(handle);
    heif_context_free(context);
    return ok;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration times the bare decode and then the saver's load of the
// same file, so that both see the same load on a shared machine; libheif's
// decoders run threads of their own, so wall time is what counts. The
// counters give both means and their ratio.
void compare(benchmark::State& state, const std::vector<unsigned char>& bytes, const std::string& path) {
    std::vector<unsigned char> out(std::size_t(kWidth) * kHeight * 3);
    double bare = 0, saver = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (!bareDecode(bytes, out)) state.SkipWithError("bare decode failed");
        bare += millisecondsSince(start);
        start = std::chrono::steady_clock::now();
        auto image = loadImageFile(path.c_str());
        if (!image || image->width != kWidth || image->height != kHeight) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.get());
        image.reset();
        saver += millisecondsSince(start);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["bareMs"] = bare / n;
    state.counters["loadMs"] = saver / n;
    state.counters["ratio"] = saver / bare;
}

void BM_HeicLoadVersusBareLibheif(benchmark::State& state) {
    compare(state, fixtures().heic, fixtures().heicPath);
}
void BM_AvifLoadVersusBareLibheif(benchmark::State& state) {
    compare(state, fixtures().avif, fixtures().avifPath);
}

}  // namespace

BENCHMARK(BM_HeicLoadVersusBareLibheif)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(8.0);
BENCHMARK(BM_AvifLoadVersusBareLibheif)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(8.0);
