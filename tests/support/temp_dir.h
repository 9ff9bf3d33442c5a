#pragma once
#include <filesystem>
#include <string>

// A fresh, empty folder under the system's temporary directory, removed
// with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Path of `name` inside the folder, as a narrow string.
    std::string file(const std::string& name) const;

private:
    std::filesystem::path path_;
};

// Writes `size` bytes to `path`, replacing the file.
void writeFile(const std::string& path, const void* data, std::size_t size);
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
