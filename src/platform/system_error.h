#pragma once
#include <string>

// The system's text for the error of the last failed platform call:
// FormatMessageA's text for GetLastError on Windows (with its own line
// break), the pending EGL error or errno's text natively.
std::string lastSystemErrorText();
// The system's text for a wait that timed out.
std::string timeoutErrorText();

// Writes "<operation> Failed: <the system's text>\n" to the debugger output,
// cut to 256 characters.
void reportSystemFailure(const char* operation);

// The same line with the system's text for a wait that timed out.
void reportSystemTimeout(const char* operation);
