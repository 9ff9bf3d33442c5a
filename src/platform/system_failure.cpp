#include "platform/system_error.h"

#include "platform/debug_output.h"

#include <cstdio>

namespace {

void report(const char* operation, const std::string& text) {
    char line[256];
    std::snprintf(line, sizeof line, "%s Failed: %s\n", operation, text.c_str());
    debugOutput(line);
}

}  // namespace

void reportSystemFailure(const char* operation) { report(operation, lastSystemErrorText()); }

void reportSystemTimeout(const char* operation) { report(operation, timeoutErrorText()); }
