// Loading and saving the settings in the registry key.
#include "settings/settings.h"

#include "platform/registry_key.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>

namespace {

constexpr std::size_t dwordBytes = 4;
// Directory paths may be longer than MAX_PATH (Windows takes long paths,
// and the dialog saves whatever it was given); cutting or skipping them at
// load would lose them at the next save. The longest path Windows forms is
// 32,767 characters; in the ANSI code page, with its double-byte
// characters, that is at most twice as many bytes. Longer data is no path.
constexpr std::size_t directoryBytes = 2 * 32768;
// A float's text is read into 256 bytes.
constexpr std::size_t floatTextBytes = 256;
// A hand-edited "DirCount" may be huge while only a few values exist. No
// real list comes near this many entries, holes included, so numbers above
// it are neither read nor deleted; otherwise load or save would spend
// minutes asking for two billion values one by one.
constexpr std::int32_t lastDirectoryNumber = 10000;

// The floats after secondsPerImage (an atomic of its own), in stored order.
struct FloatField {
    const char* name;
    float Settings::*field;
};
constexpr FloatField floatFields[] = {
    {"secondsPerImageSigma", &Settings::secondsPerImageSigma},
    {"fadeMean", &Settings::fadeMean},
    {"fadeSigma", &Settings::fadeSigma},
    {"x0Mean", &Settings::x0Mean},
    {"x0Sigma", &Settings::x0Sigma},
    {"y0Mean", &Settings::y0Mean},
    {"y0Sigma", &Settings::y0Sigma},
    {"z0Mean", &Settings::z0Mean},
    {"z0Sigma", &Settings::z0Sigma},
    {"x1Mean", &Settings::x1Mean},
    {"x1Sigma", &Settings::x1Sigma},
    {"y1Mean", &Settings::y1Mean},
    {"y1Sigma", &Settings::y1Sigma},
    {"z1Mean", &Settings::z1Mean},
    {"z1Sigma", &Settings::z1Sigma},
};

std::string directoryValueName(std::int32_t number) {
    char name[16];
    std::snprintf(name, sizeof name, "Dir%03d", static_cast<int>(number));
    return name;
}

// The stored type is not looked at. Data shorter than four bytes reads as
// its little-endian bytes with the missing high bytes zero.
std::optional<std::int32_t> readDword(const RegistryKey& key, const char* name) {
    const auto value = key.queryValue(name, dwordBytes);
    if (!value) return std::nullopt;
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < value->data.size(); ++i) {
        bits |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
    }
    return static_cast<std::int32_t>(bits);
}

// The text ends at its first NUL or at the end of the data, so values
// stored with or without a terminator read the same.
std::optional<std::string> readText(const RegistryKey& key, const std::string& name,
                                    std::size_t maxBytes) {
    const auto value = key.queryValue(name, maxBytes);
    if (!value) return std::nullopt;
    const auto end = std::find(value->data.begin(), value->data.end(), 0);
    return std::string(value->data.begin(), end);
}

// Blanks around the number and anything after it are ignored; a text that
// does not start with a number gives nothing. Neither does one that reads
// as infinity or not-a-number ("inf", "nan", "Nancy", "1e999"): no setting
// means anything there, and an infinite display time freezes the show.
std::optional<float> readFloat(const RegistryKey& key, const char* name) {
    const auto text = readText(key, name, floatTextBytes);
    float number = 0.0f;
    if (!text || std::sscanf(text->c_str(), " %g ", &number) != 1) return std::nullopt;
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

bool writeDword(RegistryKey& key, const char* name, std::int32_t number) {
    const auto bits = static_cast<std::uint32_t>(number);
    const unsigned char bytes[dwordBytes] = {
        static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
        static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
    return key.setValue(name, kRegistryDword, bytes, sizeof bytes);
}

// The terminating NUL is part of the stored data.
bool writeText(RegistryKey& key, const std::string& name, const std::string& text) {
    return key.setValue(name, kRegistryString, text.c_str(), text.size() + 1);
}

// Six significant digits with a point, in the C locale the saver runs in.
bool writeFloat(RegistryKey& key, const char* name, float number) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(number));
    return writeText(key, name, text);
}

}  // namespace

void Settings::load() {
    setDefaults();
    const auto key = RegistryKey::openForRead(registryKey);
    if (!key) return;

    if (const auto value = readDword(*key, "scandirChunkSize")) scandirChunkSize = *value;
    if (const auto value = readDword(*key, "texDim")) {
        // Only the dialog's choices are kept; anything else means "Driver
        // Maximum", which the dialog can show and save back.
        const bool known = *value >= 0 && *value < static_cast<std::int32_t>(std::size(textureSizeChoices));
        texDim = known ? *value : 0;
    }
    if (const auto value = readDword(*key, "multimon")) multimon = *value != 0;
    if (const auto value = readDword(*key, "pairs")) pairs = *value != 0;

    if (const auto count = readDword(*key, "DirCount")) {
        const std::int32_t last = std::min(*count, lastDirectoryNumber);
        for (std::int32_t number = 1; number <= last; ++number) {
            if (auto path = readText(*key, directoryValueName(number), directoryBytes)) {
                directories.push_back(std::move(*path));
            }
        }
    }

    if (const auto value = readFloat(*key, "secondsPerImage")) {
        secondsPerImage.store(*value, std::memory_order_relaxed);
    }
    for (const FloatField& entry : floatFields) {
        if (const auto value = readFloat(*key, entry.name)) this->*entry.field = *value;
    }
}

bool Settings::save() {
    const auto key = RegistryKey::createForWrite(registryKey);
    if (!key) return false;

    // Every value is attempted even after a failure, so that as much as
    // possible is stored; the result says whether all of it was.
    bool written = true;
    written &= writeDword(*key, "scandirChunkSize", scandirChunkSize);
    written &= writeDword(*key, "texDim", texDim);
    written &= writeDword(*key, "multimon", multimon ? 1 : 0);
    written &= writeDword(*key, "pairs", pairs ? 1 : 0);

    // The old list may be longer than the new one; its extra values go.
    if (const auto oldCount = readDword(*key, "DirCount")) {
        const std::int32_t last = std::min(*oldCount, lastDirectoryNumber);
        for (std::int32_t number = 1; number <= last; ++number) {
            key->deleteValue(directoryValueName(number));
        }
    }
    written &= writeDword(*key, "DirCount", static_cast<std::int32_t>(directories.size()));
    for (std::size_t i = 0; i < directories.size(); ++i) {
        written &= writeText(*key, directoryValueName(static_cast<std::int32_t>(i + 1)),
                             directories[i]);
    }

    written &= writeFloat(*key, "secondsPerImage", secondsPerImage.load(std::memory_order_relaxed));
    for (const FloatField& entry : floatFields) {
        written &= writeFloat(*key, entry.name, this->*entry.field);
    }
    return written;
}
