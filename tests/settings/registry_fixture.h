#pragma once
#include "platform/registry_key.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Every test starts and ends with no "Software\Glimmora" key, in the
// in-memory registry natively and in the real one under Windows.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { registry_testing::clearKey(Settings::registryKey); }
    void TearDown() override {
#ifndef _WIN32
        registry_testing::denyAccess(false);
#endif
        registry_testing::clearKey(Settings::registryKey);
    }

    static std::vector<unsigned char> bytes(const std::string& text) {
        return {text.begin(), text.end()};
    }
    // The NUL terminator is part of the data, as the saver writes it.
    static std::vector<unsigned char> sz(const std::string& text) {
        return bytes(text + '\0');
    }
    static std::vector<unsigned char> dword(std::uint32_t v) {
        return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    }

    static void plant(const std::string& name, std::uint32_t type,
                      const std::vector<unsigned char>& data) {
        registry_testing::plantValue(Settings::registryKey, name, type, data);
    }
    static void plantDword(const std::string& name, std::uint32_t v) {
        plant(name, kRegistryDword, dword(v));
    }
    static void plantText(const std::string& name, const std::string& text) {
        plant(name, kRegistryString, sz(text));
    }

    static std::optional<RegistryValue> stored(const std::string& name) {
        return registry_testing::inspectValue(Settings::registryKey, name);
    }
    static bool has(const std::string& name) { return stored(name).has_value(); }
    static std::vector<std::string> storedNames() {
        auto names = registry_testing::valueNames(Settings::registryKey);
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Compares type and bytes in one go, so a failure shows both.
inline ::testing::AssertionResult valueIs(const std::optional<RegistryValue>& value,
                                          std::uint32_t type,
                                          const std::vector<unsigned char>& data) {
    if (!value) return ::testing::AssertionFailure() << "value is missing";
    if (value->type != type || value->data != data) {
        return ::testing::AssertionFailure()
               << "type " << value->type << ", data \""
               << std::string(value->data.begin(), value->data.end()) << "\" ("
               << value->data.size() << " bytes)";
    }
    return ::testing::AssertionSuccess();
}
