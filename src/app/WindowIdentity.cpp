#include "app/WindowIdentity.h"

// clang-format off: xalleg.h must follow allegro.h
#include <allegro.h>
#include <xalleg.h>
// clang-format on
#include <X11/Xatom.h>

// Allegro 4's X11 port puts this XPM on every window it makes; it is not in its headers.
extern "C" void* allegro_icon;

void nameGameWindow() {
  allegro_icon = nullptr;
  xwin_set_window_name(kWindowInstance, kWindowClass);
}

// Allegro's X lock macros count on a volatile int, which C++20 deprecates.
#pragma GCC diagnostic push
#ifdef __clang__
#pragma GCC diagnostic ignored "-Wdeprecated-volatile"
#else
#pragma GCC diagnostic ignored "-Wvolatile"
#endif
void setGameWindowIcon(const std::vector<unsigned long>& icon) {
  if (icon.empty() || !system_driver || system_driver->id != SYSTEM_XWINDOWS) return;
  XLOCK();
  if (_xwin.display && _xwin.wm_window != None) {
    Atom property = XInternAtom(_xwin.display, "_NET_WM_ICON", False);
    XChangeProperty(_xwin.display, _xwin.wm_window, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(icon.data()),
                    static_cast<int>(icon.size()));
    XFlush(_xwin.display);
  }
  XUNLOCK();
}
#pragma GCC diagnostic pop
