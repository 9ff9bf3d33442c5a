#pragma once
#include <windows.h>

// The Windows 9x family's screen-saver password providers, loaded at run
// time because no later platform has them. Elsewhere both calls do nothing.

// Non-zero when the saver may close: the password was right, or there is no
// provider to ask.
int verifyScreenSaverPassword(HWND window);

// Opens the platform's dialog to change the screen-saver password.
void changeScreenSaverPassword();
