#include "platform/system_error.h"

#include <windows.h>

namespace {

std::string messageText(DWORD code) {
    char* buffer = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = buffer ? buffer : "";
    if (buffer) LocalFree(buffer);
    return text;
}

}  // namespace

std::string lastSystemErrorText() { return messageText(GetLastError()); }

std::string timeoutErrorText() { return messageText(WAIT_TIMEOUT); }
