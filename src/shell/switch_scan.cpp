#include "shell/switch_scan.h"

namespace {

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

SwitchChoice previewChoice(const unsigned char* p) {
    // Only the blank separates the number; a tab or ':' makes it unreadable.
    while (*p == ' ') ++p;
    if (!isDigit(*p)) return {};
    // Unsigned, so that an absurdly long number wraps instead of overflowing.
    std::uint32_t value = 0;
    for (; isDigit(*p); ++p) value = value * 10u + static_cast<std::uint32_t>(*p - '0');
    if (value == 0) return {};
    return {RunMode::Preview, value};
}

}  // namespace

SwitchChoice scanSwitch(const char* tail) {
    const auto* p = reinterpret_cast<const unsigned char*>(tail ? tail : "");
    for (;; ++p) {
        switch (*p) {
        case '\0': return {RunMode::ConfigureUnowned, 0};
        case ' ':
        case '-':
        case '/': continue;
        case 'a':
        case 'A': return {RunMode::ChangePassword, 0};
        case 'c':
        case 'C': return {RunMode::ConfigureOwned, 0};
        case 'p':
        case 'P': return previewChoice(p + 1);
        case 's':
        case 'S': return {RunMode::FullScreen, 0};
        case 'w':
        case 'W': return {RunMode::Windowed, 0};
        default: return {};
        }
    }
}
