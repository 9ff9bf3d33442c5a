#include "platform/system_error.h"

#include "platform/debug_output.h"

#include <cstdio>

void reportSystemFailure(const char* operation) {
    const std::string text = lastSystemErrorText();
    char line[256];
    std::snprintf(line, sizeof line, "%s Failed: %s\n", operation, text.c_str());
    debugOutput(line);
}
