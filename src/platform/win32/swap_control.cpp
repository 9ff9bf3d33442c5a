#include "platform/swap_control.h"

#include <windows.h>
#include <GL/gl.h>

#include <cstring>

namespace {

using SetIntervalProc = BOOL(WINAPI*)(int);
using GetIntervalProc = int(WINAPI*)();
using ExtensionsStringProc = const char*(WINAPI*)();

// Process-wide, like the driver's own entry points; every successful lookup
// overwrites them. Only the main thread sets up contexts.
SetIntervalProc setIntervalProc = nullptr;
GetIntervalProc getIntervalProc = nullptr;

int setInterval(int interval) { return setIntervalProc && setIntervalProc(interval); }
int getInterval() { return getIntervalProc ? getIntervalProc() : 0; }

bool lists(const char* extensions, const char* name) {
    return extensions && std::strstr(extensions, name) != nullptr;
}

}  // namespace

SwapControlEntryPoints findSwapControl() {
    const char* name = "WGL_EXT_swap_control";
    bool listed = lists(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name);
    // Drivers that follow the WGL extension rules list it only in the WGL
    // string, not among the context's GL extensions.
    if (!listed) {
        auto wglExtensions = reinterpret_cast<ExtensionsStringProc>(
            reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringEXT")));
        listed = wglExtensions && lists(wglExtensions(), name);
    }
    if (!listed) return {};
    auto set = reinterpret_cast<SetIntervalProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
    auto get = reinterpret_cast<GetIntervalProc>(
        reinterpret_cast<void*>(wglGetProcAddress("wglGetSwapIntervalEXT")));
    setIntervalProc = set;
    getIntervalProc = get;
    SwapControlEntryPoints entryPoints;
    if (set) entryPoints.setInterval = setInterval;
    if (get) entryPoints.getInterval = getInterval;
    return entryPoints;
}
