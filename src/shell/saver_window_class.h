#pragma once

// The class of every saver window, by which a second full-screen start finds
// a running saver (with the title "Screensaver").
inline constexpr const char* saverClassName = "WindowsScreenSaverClass";
inline constexpr const char* fullScreenTitle = "Screensaver";
// The icon group of the class, in the executable's resources.
inline constexpr int saverIconId = 7002;
