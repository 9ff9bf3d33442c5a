#include "platform/registry_key.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace {

// Key and value names compare without regard to ASCII case, as on Windows.
struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
                auto lower = [](unsigned char c) {
                    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
                };
                return lower(x) < lower(y);
            });
    }
};

using ValueMap = std::map<std::string, RegistryValue, CaseInsensitiveLess>;

struct MemoryRegistry {
    std::mutex mutex;
    std::map<std::string, ValueMap, CaseInsensitiveLess> keys;  // guarded by mutex
    bool denied = false;                                         // guarded by mutex
};

MemoryRegistry& memoryRegistry() {
    static MemoryRegistry registry;
    return registry;
}

}  // namespace

struct RegistryKey::Impl {
    std::string path;
};

RegistryKey::RegistryKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RegistryKey::~RegistryKey() = default;

std::unique_ptr<RegistryKey> RegistryKey::openForRead(const std::string& subkeyPath) {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    if (registry.denied || registry.keys.count(subkeyPath) == 0) return nullptr;
    return std::unique_ptr<RegistryKey>(new RegistryKey(std::make_unique<Impl>(Impl{subkeyPath})));
}

std::unique_ptr<RegistryKey> RegistryKey::createForWrite(const std::string& subkeyPath) {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    if (registry.denied) return nullptr;
    registry.keys[subkeyPath];
    return std::unique_ptr<RegistryKey>(new RegistryKey(std::make_unique<Impl>(Impl{subkeyPath})));
}

std::optional<RegistryValue> RegistryKey::queryValue(const std::string& name,
                                                     std::size_t maxBytes) const {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    // A key removed while open behaves like one without values.
    auto key = registry.keys.find(impl_->path);
    if (key == registry.keys.end()) return std::nullopt;
    auto value = key->second.find(name);
    if (value == key->second.end() || value->second.data.size() > maxBytes) return std::nullopt;
    return value->second;
}

bool RegistryKey::setValue(const std::string& name, std::uint32_t type,
                           const void* data, std::size_t size) {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    auto key = registry.keys.find(impl_->path);
    if (key == registry.keys.end()) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    key->second[name] = RegistryValue{type, std::vector<unsigned char>(bytes, bytes + size)};
    return true;
}

bool RegistryKey::deleteValue(const std::string& name) {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    auto key = registry.keys.find(impl_->path);
    return key != registry.keys.end() && key->second.erase(name) > 0;
}

namespace registry_testing {

void clearKey(const std::string& subkeyPath) {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    registry.keys.erase(subkeyPath);
}

void plantValue(const std::string& subkeyPath, const std::string& name,
                std::uint32_t type, const std::vector<unsigned char>& data) {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    registry.keys[subkeyPath][name] = RegistryValue{type, data};
}

std::optional<RegistryValue> inspectValue(const std::string& subkeyPath,
                                          const std::string& name) {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    auto key = registry.keys.find(subkeyPath);
    if (key == registry.keys.end()) return std::nullopt;
    auto value = key->second.find(name);
    if (value == key->second.end()) return std::nullopt;
    return value->second;
}

std::vector<std::string> valueNames(const std::string& subkeyPath) {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    std::vector<std::string> names;
    auto key = registry.keys.find(subkeyPath);
    if (key == registry.keys.end()) return names;
    for (const auto& entry : key->second) names.push_back(entry.first);
    return names;
}

void denyAccess(bool denied) {
    MemoryRegistry& registry = memoryRegistry();
    std::lock_guard lock(registry.mutex);
    registry.denied = denied;
}

}  // namespace registry_testing
