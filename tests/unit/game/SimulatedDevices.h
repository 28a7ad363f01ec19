// Test stand-ins for the input devices: Allegro's key[] array, the first gamepad and a
// joystick driver that counts polls and, like a real one, updates joy[0] only when polled.
#pragma once
#include <allegro.h>

#include <initializer_list>
#include <optional>

#include "app/Settings.h"
#include "support/TestJoystick.h"

class SimulatedDevices {
 public:
  SimulatedDevices() {
    releaseAll();
    num_joysticks = 0;
    gamepadEnabled = 0;
    polls = 0;
    padOnNextPoll.reset();
  }

  ~SimulatedDevices() {
    releaseAll();
    padOnNextPoll.reset();
  }

  SimulatedDevices(const SimulatedDevices&) = delete;
  SimulatedDevices& operator=(const SimulatedDevices&) = delete;

  // Every key up and the pad centred with no button down.
  static void releaseAll() {
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
    joy[0] = JOYSTICK_INFO{};
  }

  static void hold(std::initializer_list<int> keys) {
    for (int k : keys) key[k] = 1;
  }

  // A plugged-in pad with the given number of buttons, switched on or off.
  static void plugPad(int buttons, bool enabled) {
    num_joysticks = 1;
    joy[0].num_sticks = 1;
    joy[0].stick[0].num_axis = 2;
    joy[0].num_buttons = buttons;
    gamepadEnabled = enabled ? 1 : 0;
  }

  static void holdPadDirection(int axis, bool negative) {
    (negative ? joy[0].stick[0].axis[axis].d1 : joy[0].stick[0].axis[axis].d2) = -1;
  }

  static inline int polls = 0;
  // When set, the next poll copies it into joy[0], as a driver reading the device would.
  static inline std::optional<JOYSTICK_INFO> padOnNextPoll;

 private:
  static int poll() {
    ++polls;
    if (padOnNextPoll) joy[0] = *padOnNextPoll;
    return 0;
  }

  TestJoystick joystick_{&SimulatedDevices::poll};
};
