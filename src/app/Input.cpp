// The input devices every screen reads: Allegro's key[] array and stick 0 of the first gamepad,
// which counts only while gamepadEnabled is on.
#include "app/Input.h"

#include <allegro.h>

#include <algorithm>

#include "app/PadHotplug.h"
#include "app/Settings.h"

namespace {
bool padReadable() { return gamepadEnabled && num_joysticks > 0; }

bool padFlag(int axis, bool negative) {
  if (!padReadable()) return false;
  // A pad with a single axis has no vertical one: only what the driver described is read.
  const JOYSTICK_STICK_INFO& stick = joy[0].stick[0];
  if (joy[0].num_sticks < 1 || axis >= stick.num_axis) return false;
  // Any non-zero flag is a press: Allegro's Linux driver sets 1, its Windows drivers -1.
  const JOYSTICK_AXIS_INFO& info = stick.axis[axis];
  return (negative ? info.d1 : info.d2) != 0;
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
  keepGamepadInStep();
  if (gamepadEnabled) poll_joystick();
}

bool confirmDown() { return padButton() >= 0 || key[KEY_ENTER] || key[KEY_SPACE]; }
bool escapeDown() { return key[KEY_ESC]; }
bool upDown() { return padUp() || key[KEY_UP]; }
bool downDown() { return padDown() || key[KEY_DOWN]; }
bool leftDown() { return padLeft() || key[KEY_LEFT]; }
bool rightDown() { return padRight() || key[KEY_RIGHT]; }
