#pragma once
#include <windows.h>

#include <memory>

#include "shell/shell_display.h"

class ImageProvider;

// The renderer of one saver window, on the shared provider (not owned).
std::unique_ptr<ShellDisplay> makeSaverDisplay(HWND window, ImageProvider* provider);
