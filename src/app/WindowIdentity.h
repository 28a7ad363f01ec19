// How the desktop knows the game window: its class, matched to the menu entry's StartupWMClass,
// and its icon. Only the X11 window has either; elsewhere both calls do nothing.
#pragma once
#include <vector>

// The WM_CLASS of the window: instance and class. The desktop entry names the class.
inline constexpr const char* kWindowInstance = "zeph";
inline constexpr const char* kWindowClass = "Zeph";

// Before install_allegro, which creates the window: Allegro sets the class on it then and again
// after every mode switch. It also keeps Allegro's own logo off the window.
void nameGameWindow();

// After install_allegro: sets _NET_WM_ICON (as decodeWindowIcon lays it out) on the managed
// window, which lives until allegro_exit, so full screen and back keep it.
void setGameWindowIcon(const std::vector<unsigned long>& icon);
