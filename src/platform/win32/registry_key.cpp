#include "platform/registry_key.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

static_assert(kRegistryString == REG_SZ && kRegistryDword == REG_DWORD);

namespace {

// The key under HKEY_CURRENT_USER, opened for reading, or created (with its
// parents) for reading and writing. Null when that is refused.
HKEY openHandle(const std::string& subkeyPath, bool create) {
    HKEY handle = nullptr;
    const LONG result =
        create ? RegCreateKeyExA(HKEY_CURRENT_USER, subkeyPath.c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &handle,
                                 nullptr)
               : RegOpenKeyExA(HKEY_CURRENT_USER, subkeyPath.c_str(), 0, KEY_READ, &handle);
    return result == ERROR_SUCCESS ? handle : nullptr;
}

}  // namespace

struct RegistryKey::Impl {
    HKEY handle = nullptr;
};

RegistryKey::RegistryKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

RegistryKey::~RegistryKey() {
    RegCloseKey(impl_->handle);
}

std::unique_ptr<RegistryKey> RegistryKey::openForRead(const std::string& subkeyPath) {
    HKEY handle = openHandle(subkeyPath, false);
    if (!handle) return nullptr;
    return std::unique_ptr<RegistryKey>(new RegistryKey(std::make_unique<Impl>(Impl{handle})));
}

std::unique_ptr<RegistryKey> RegistryKey::createForWrite(const std::string& subkeyPath) {
    HKEY handle = openHandle(subkeyPath, true);
    if (!handle) return nullptr;
    return std::unique_ptr<RegistryKey>(new RegistryKey(std::make_unique<Impl>(Impl{handle})));
}

std::optional<RegistryValue> RegistryKey::queryValue(const std::string& name,
                                                     std::size_t maxBytes) const {
    RegistryValue value;
    // One spare byte keeps the pointer valid for a zero-sized request, so an
    // empty buffer still answers "more data" for a non-empty value.
    value.data.resize(maxBytes + 1);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(maxBytes);
    if (RegQueryValueExA(impl_->handle, name.c_str(), nullptr, &type, value.data.data(),
                         &size) != ERROR_SUCCESS ||
        size > maxBytes) {
        return std::nullopt;
    }
    value.type = type;
    value.data.resize(size);
    return value;
}

bool RegistryKey::setValue(const std::string& name, std::uint32_t type,
                           const void* data, std::size_t size) {
    return RegSetValueExA(impl_->handle, name.c_str(), 0, type,
                          static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool RegistryKey::deleteValue(const std::string& name) {
    return RegDeleteValueA(impl_->handle, name.c_str()) == ERROR_SUCCESS;
}

namespace registry_testing {

namespace {

// Raw access for the test hooks, with none of the size limits of queryValue.
class RawKey {
public:
    RawKey(const std::string& path, bool create) : handle_(openHandle(path, create)) {}
    ~RawKey() {
        if (handle_) RegCloseKey(handle_);
    }
    RawKey(const RawKey&) = delete;
    RawKey& operator=(const RawKey&) = delete;

    HKEY get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

}  // namespace

void clearKey(const std::string& subkeyPath) {
    RegDeleteKeyA(HKEY_CURRENT_USER, subkeyPath.c_str());
}

void plantValue(const std::string& subkeyPath, const std::string& name,
                std::uint32_t type, const std::vector<unsigned char>& data) {
    RawKey key(subkeyPath, true);
    if (!key.get()) return;
    // Windows quietly counts a string's terminator that lies just past the
    // given length; a non-NUL guard byte there keeps unterminated data as is.
    std::vector<unsigned char> guarded(data);
    guarded.push_back(0xFF);
    RegSetValueExA(key.get(), name.c_str(), 0, type, guarded.data(),
                   static_cast<DWORD>(data.size()));
}

std::optional<RegistryValue> inspectValue(const std::string& subkeyPath,
                                          const std::string& name) {
    RawKey key(subkeyPath, false);
    if (!key.get()) return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value;
    value.type = type;
    value.data.resize(size + 1);
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, value.data.data(),
                         &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

std::vector<std::string> valueNames(const std::string& subkeyPath) {
    std::vector<std::string> names;
    RawKey key(subkeyPath, false);
    if (!key.get()) return names;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof name;
        if (RegEnumValueA(key.get(), index, name, &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    return names;
}

}  // namespace registry_testing
