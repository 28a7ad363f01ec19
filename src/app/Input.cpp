// The input devices every screen reads: Allegro's key[] array and stick 0 of the first gamepad,
// which counts only while gamepadEnabled is on.
#include "app/Input.h"

#include <allegro.h>

#include <algorithm>

#include "app/Settings.h"

namespace {
// Allegro's digital flags are true only as -1; any other value is not a press.
constexpr int kAllegroTrue = -1;

bool padReadable() { return gamepadEnabled && num_joysticks > 0; }

bool padFlag(int axis, bool negative) {
  if (!padReadable()) return false;
  const JOYSTICK_AXIS_INFO& info = joy[0].stick[0].axis[axis];
  return (negative ? info.d1 : info.d2) == kAllegroTrue;
}
}  // namespace

bool padUp() { return padFlag(1, true); }
bool padDown() { return padFlag(1, false); }
bool padLeft() { return padFlag(0, true); }
bool padRight() { return padFlag(0, false); }

int padButton() {
  if (!padReadable()) return -1;
  // num_buttons comes from the driver; never trust it past the array.
  const int buttons = std::clamp(joy[0].num_buttons, 0, MAX_JOYSTICK_BUTTONS);
  for (int i = 0; i < buttons; ++i)
    if (joy[0].button[i].b) return i;
  return -1;
}

void pollGamepad() {
  if (gamepadEnabled) poll_joystick();
}

bool confirmDown() { return padButton() >= 0 || key[KEY_ENTER] || key[KEY_SPACE]; }
bool escapeDown() { return key[KEY_ESC]; }
bool upDown() { return padUp() || key[KEY_UP]; }
bool downDown() { return padDown() || key[KEY_DOWN]; }
bool leftDown() { return padLeft() || key[KEY_LEFT]; }
bool rightDown() { return padRight() || key[KEY_RIGHT]; }
