// The test joystick driver: installed in Allegro's own driver slot, so the code under test
// reaches it through the real poll_joystick().
#include "TestJoystick.h"

#include "app/Settings.h"

extern "C" {
// Allegro's "a driver is installed" flag: while set, install_joystick() keeps ours in place.
extern int _joystick_installed;
}

TestJoystick::TestJoystick(int (*poll)())
    : savedDriver_(joystick_driver),
      savedInstalled_(_joystick_installed),
      savedJoysticks_(num_joysticks),
      savedGamepad_(gamepadEnabled) {
  driver_.id = AL_ID('T', 'E', 'S', 'T');
  driver_.name = driver_.desc = driver_.ascii_name = "test pad";
  driver_.poll = poll;
  // remove_joystick() calls exit without a null check.
  driver_.exit = [] {};
  joystick_driver = &driver_;
  _joystick_installed = 1;
}

TestJoystick::~TestJoystick() {
  joystick_driver = savedDriver_;
  _joystick_installed = savedInstalled_;
  num_joysticks = savedJoysticks_;
  gamepadEnabled = savedGamepad_;
}

void TestJoystick::install(int joysticks) {
  for (int n = 0; n < MAX_JOYSTICKS; ++n) joy[n] = JOYSTICK_INFO{};
  joystick_driver = &driver_;
  _joystick_installed = 1;
  num_joysticks = joysticks;
}
