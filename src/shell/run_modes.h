#pragma once
#include <windows.h>

// The run modes behind the switches. Each returns the process's exit status.

// The full-screen run (no parent) or the preview run inside `parent`.
int runSaver(HINSTANCE instance, HWND parent);
// The windowed test mode: a 512 by 480 window that Alt+F4 closes.
int runWindowed(HINSTANCE instance);
