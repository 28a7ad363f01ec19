// A joystick driver of our own behind Allegro's poll_joystick(), so a test can stand in for
// the pad and see whether the code under test polls before it reads joy[].
#pragma once
#include <allegro.h>

#include <cstdint>

// RAII: installs the driver; puts back the previous driver, num_joysticks and gamepadEnabled.
class TestJoystick {
 public:
  // poll runs at every poll_joystick(), where a real driver would read the device into joy[];
  // it returns 0 as a working driver does.
  explicit TestJoystick(int (*poll)());
  ~TestJoystick();
  // Puts this driver back in Allegro's slot as install_joystick() would after the code under
  // test removed it, with the given number of pads found and joy[] cleared.
  void install(int joysticks);
  TestJoystick(const TestJoystick&) = delete;
  TestJoystick& operator=(const TestJoystick&) = delete;

 private:
  JOYSTICK_DRIVER driver_{};
  JOYSTICK_DRIVER* savedDriver_;
  int savedInstalled_;
  int savedJoysticks_;
  uint8_t savedGamepad_;
};
