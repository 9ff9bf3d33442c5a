#pragma once
#include <windows.h>

#include <optional>

// The console display state power setting (GUID_CONSOLE_DISPLAY_STATE),
// spelled out: the SDK's declaration wants a GUID library the static build
// does not link.
inline constexpr GUID consoleDisplayStateSetting{
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// From a WM_POWERBROADCAST: true when the console display turned off, false
// when it turned on (or dimmed, which still shows the saver), nothing when
// the message is about something else.
inline std::optional<bool> displayTurnedOff(WPARAM event, LPARAM data) {
    if (event != PBT_POWERSETTINGCHANGE || !data) return std::nullopt;
    const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(data);
    if (!IsEqualGUID(setting->PowerSetting, consoleDisplayStateSetting)) return std::nullopt;
    if (setting->DataLength < sizeof(DWORD)) return std::nullopt;
    DWORD state = 0;
    CopyMemory(&state, setting->Data, sizeof state);
    return state == 0;
}
