// What hostile pictures cost before they are refused or shown: a 2048 x
// 2048 progressive JPEG whose last refinement scan is repeated 499 times
// (it took 1.4 s to decode before its scans were counted), beside the same
// JPEG as written; and a run-length BMP whose runs go far past the right
// edge (each step out there used to be walked pixel by pixel).
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdint>
#include <string>
#include <vector>

#include "images/decode_image_memory.h"

namespace {

std::string progressiveJpeg(int side) {
    // Smooth shading: small scans, as in the files that took seconds.
    std::vector<unsigned char> rgb(std::size_t(side) * side * 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(std::size_t(y) * side + x) * 3 + c] = static_cast<unsigned char>((x * (c + 1) + y) / 16);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), side, 0, side, TJPF_RGB, &jpeg, &size, TJSAMP_420, 85, TJFLAG_PROGRESSIVE);
    std::string out(reinterpret_cast<char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

std::string withLastScanRepeated(const std::string& jpeg, int times) {
    const std::size_t from = jpeg.rfind("\xFF\xDA");
    const std::string scan = jpeg.substr(from, jpeg.size() - 2 - from);
    std::string out = jpeg.substr(0, jpeg.size() - 2);
    for (int i = 0; i < times; ++i) out += scan;
    return out + "\xFF\xD9";
}

void le(std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
}

// 64 x 64, 8-bit RLE: each row one visible run, then `runs` runs of 255
// pixels past the edge.
std::string bmpRunsPastTheEdge(int runs) {
    std::string data;
    for (int y = 0; y < 64; ++y) {
        data += std::string("\x40\x01", 2);
        for (int r = 0; r < runs; ++r) data += std::string("\xFF\x02", 2);
        data += std::string("\x00\x00", 2);
    }
    data += std::string("\x00\x01", 2);
    std::string file = "BM";
    const std::uint32_t offset = 14 + 40 + 256 * 4;
    le(file, offset + std::uint32_t(data.size()), 4);
    le(file, 0, 4);
    le(file, offset, 4);
    le(file, 40, 4);
    le(file, 64, 4);
    le(file, 64, 4);
    le(file, 1, 2);
    le(file, 8, 2);
    le(file, 1, 4);  // RLE8
    le(file, std::uint32_t(data.size()), 4);
    le(file, 0, 4);
    le(file, 0, 4);
    le(file, 256, 4);
    le(file, 0, 4);
    for (int i = 0; i < 256; ++i) le(file, std::uint32_t(i * 0x010101), 4);
    return file + data;
}

void decodeLoop(benchmark::State& state, const std::string& file) {
    const auto* data = reinterpret_cast<const unsigned char*>(file.data());
    for (auto _ : state) benchmark::DoNotOptimize(decodeImageMemory(data, file.size()));
    state.counters["file_KiB"] = double(file.size()) / 1024.0;
}

void BM_ProgressiveJpegAsWritten(benchmark::State& state) {
    static const std::string file = progressiveJpeg(2048);
    decodeLoop(state, file);
}
void BM_ProgressiveJpeg499RepeatedScans(benchmark::State& state) {
    static const std::string file = withLastScanRepeated(progressiveJpeg(2048), 499);
    decodeLoop(state, file);
}
void BM_BmpRunLengthPastTheRightEdge(benchmark::State& state) {
    static const std::string file = bmpRunsPastTheEdge(4000);
    decodeLoop(state, file);
}

BENCHMARK(BM_ProgressiveJpegAsWritten)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgressiveJpeg499RepeatedScans)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpRunLengthPastTheRightEdge)->Unit(benchmark::kMillisecond);

}  // namespace
