#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Value types, numbered as the Windows registry numbers them.
inline constexpr std::uint32_t kRegistryString = 1;  // REG_SZ
inline constexpr std::uint32_t kRegistryDword = 4;   // REG_DWORD

// A value's stored type and raw bytes, exactly as the registry returns them.
struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
};

// An open key under HKEY_CURRENT_USER, closed when the object goes. On Linux
// the registry is a process-wide map in memory, so the same callers run and
// are tested on both platforms.
class RegistryKey {
public:
    struct Impl;

    // Null when the key does not exist or may not be read.
    static std::unique_ptr<RegistryKey> openForRead(const std::string& subkeyPath);
    // Opens the key for reading and writing, creating it (and its parents)
    // when missing. Null when that is refused.
    static std::unique_ptr<RegistryKey> createForWrite(const std::string& subkeyPath);

    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Nothing when the value is absent or its data is longer than maxBytes
    // (the registry's "more data" answer counts as not read).
    std::optional<RegistryValue> queryValue(const std::string& name,
                                            std::size_t maxBytes) const;
    bool setValue(const std::string& name, std::uint32_t type,
                  const void* data, std::size_t size);
    bool deleteValue(const std::string& name);

private:
    explicit RegistryKey(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// For tests only. They work on the real registry on Windows and on the
// in-memory one elsewhere, so one test source checks both.
namespace registry_testing {

// Removes the key with all its values (it must have no subkeys).
void clearKey(const std::string& subkeyPath);
// Stores a value of any type and length, creating the key when missing.
void plantValue(const std::string& subkeyPath, const std::string& name,
                std::uint32_t type, const std::vector<unsigned char>& data);
// The whole value, however long; nothing when the key or value is absent.
std::optional<RegistryValue> inspectValue(const std::string& subkeyPath,
                                          const std::string& name);
// Names of all values in the key, in no particular order.
std::vector<std::string> valueNames(const std::string& subkeyPath);

#ifndef _WIN32
// While set, opening or creating any key fails, as for a user without access.
void denyAccess(bool denied);
#endif

}  // namespace registry_testing
