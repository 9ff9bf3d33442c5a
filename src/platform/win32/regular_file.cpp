#include "platform/regular_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

std::FILE* openRegularFile(const char* path) {
    if (!path) return nullptr;
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    // Consoles, pipes and devices are no pictures.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    // From here the descriptor owns the handle.
    std::FILE* file = _fdopen(fd, "rb");
    if (!file) _close(fd);
    return file;
}
