#include "shell/password_hooks.h"

namespace {

bool windows9x() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// Frees the provider's library on every path out.
class Library {
public:
    explicit Library(const char* name) : module_(LoadLibraryA(name)) {}
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    template <typename Function>
    Function entry(const char* name) const {
        return module_ ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)))
                       : nullptr;
    }

private:
    HMODULE module_;
};

}  // namespace

int verifyScreenSaverPassword(HWND window) {
    if (!windows9x()) return 1;
    Library library("PASSWORD.CPL");
    using Verify = BOOL(WINAPI*)(HWND);
    auto verify = library.entry<Verify>("VerifyScreenSavePwd");
    if (!verify) return 1;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 1, nullptr, 0);
    int result = verify(window);
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
    return result;
}

void changeScreenSaverPassword() {
    if (!windows9x()) return;
    Library library("MPR.DLL");
    using Change = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
    if (auto change = library.entry<Change>("PwdChangePasswordA")) change("SCRSAVE", nullptr, 0, nullptr);
}
