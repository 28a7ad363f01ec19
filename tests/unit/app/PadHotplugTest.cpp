// The pad's hot-plug: a pad pulled out lets go of everything at once, a pad plugged in is taken
// up within a second, and the J switch survives both. The device node is a file in a private
// folder (plugged: made anew, pulled: removed); Allegro's installer and the clock are ours.
#include "app/PadHotplug.h"

#include <allegro.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/Input.h"
#include "app/PadHotplugSeam.h"
#include "app/Settings.h"
#include "support/TestJoystick.h"

namespace {
constexpr int64_t kTickMs = 16;

class PadHotplugTest : public ::testing::Test {
 protected:
  PadHotplugTest() {
    char pattern[] = "/tmp/zeph-pad-XXXXXX";
    folder_ = mkdtemp(pattern);
    node_ = folder_ + "/js0";
    padFound = false;
    installs = polls = 0;
    clockMs = 5000;
    releasePad();
    driver = &joystick_;
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
    const PadSurroundings surroundings{{node_.c_str(), nullptr}, install, now};
    setPadSurroundings(&surroundings);
  }

  ~PadHotplugTest() override {
    stopGamepad();
    setPadSurroundings(nullptr);
    unlink(node_.c_str());
    rmdir(folder_.c_str());
  }

  // A node made anew, as the kernel makes one for every pad plugged in.
  void plug() {
    const std::string made = folder_ + "/made";
    FILE* file = fopen(made.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fclose(file);
    ASSERT_EQ(rename(made.c_str(), node_.c_str()), 0);
    padFound = true;
  }

  void pull() {
    ASSERT_EQ(unlink(node_.c_str()), 0);
    padFound = false;
  }

  // One tick that reads input; the clock moves on first.
  static void tick(int64_t ms = kTickMs) {
    clockMs += ms;
    pollGamepad();
  }

  static void ticksFor(int64_t ms) {
    for (int64_t spent = 0; spent < ms; spent += kTickMs) tick();
  }

  static void releasePad() {
    held = JOYSTICK_INFO{};
    held.num_sticks = 1;
    held.stick[0].num_axis = 2;
    held.num_buttons = 4;
  }

  // The pad holds its fire button, the stick right and up, as Allegro's Linux driver sets them.
  static void holdFireRightUp() {
    held.button[0].b = 1;
    held.stick[0].axis[0].d2 = 1;
    held.stick[0].axis[1].d1 = 1;
  }

  static bool anythingRead() {
    return padButton() >= 0 || padUp() || padDown() || padLeft() || padRight() || confirmDown();
  }

  static inline bool padFound = false;
  static inline int installs = 0;
  static inline int polls = 0;
  static inline int64_t clockMs = 0;
  // What the driver reads from the pad at each poll; a driver whose pad is gone keeps it.
  static inline JOYSTICK_INFO held{};

 private:
  static int install() {
    ++installs;
    driver->install(padFound ? 1 : 0);
    // install_joystick() reads the pad's state at once.
    if (padFound) poll_joystick();
    return 0;
  }

  static int64_t now() { return clockMs; }

  static int poll() {
    ++polls;
    if (num_joysticks > 0) joy[0] = held;
    return 0;
  }

  static inline TestJoystick* driver = nullptr;
  TestJoystick joystick_{poll};
  std::string folder_;
  std::string node_;
};

TEST_F(PadHotplugTest, APadPulledOutWhileHeldHoldsNothingFromThatTickOn) {
  plug();
  startGamepad();
  ASSERT_EQ(gamepadEnabled, 1);
  holdFireRightUp();
  tick();
  ASSERT_EQ(padButton(), 0);
  ASSERT_TRUE(padRight() && padUp());

  pull();  // the driver's reads now fail and it keeps the held state
  tick();
  EXPECT_FALSE(anythingRead());
  EXPECT_EQ(num_joysticks, 0);
  EXPECT_EQ(gamepadEnabled, 0);
  const int pollsAfterPull = polls;
  ticksFor(3000);
  EXPECT_FALSE(anythingRead());
  EXPECT_EQ(polls, pollsAfterPull) << "a pad that is gone is not polled";
  EXPECT_EQ(installs, 1) << "no node, nothing to take up";
}

TEST_F(PadHotplugTest, APadPluggedInIsFoundWithinASecondAndReadFromThatTick) {
  startGamepad();
  ASSERT_EQ(gamepadEnabled, 0);
  for (int64_t pluggedAfter : {0, 500, 990}) {
    SCOPED_TRACE(pluggedAfter);
    ticksFor(pluggedAfter);
    releasePad();
    holdFireRightUp();
    plug();
    int64_t waited = 0;
    while (num_joysticks == 0 && waited <= 2000) {
      tick();
      waited += kTickMs;
    }
    EXPECT_LE(waited, 1000 + kTickMs);
    EXPECT_EQ(gamepadEnabled, 1);
    EXPECT_EQ(padButton(), 0) << "read in the tick it was found";
    EXPECT_TRUE(padRight() && padUp());
    pull();
    tick();
    ASSERT_EQ(num_joysticks, 0);
  }
}

// A pad in use is checked every tick (see the first test); one switched off, like an absent
// one, costs a single look at its node a second.
TEST_F(PadHotplugTest, APadSwitchedOffIsCheckedOnceASecond) {
  plug();
  startGamepad();
  switchGamepad();  // J: off
  pull();
  ticksFor(1000 - 2 * kTickMs);
  EXPECT_EQ(num_joysticks, 1) << "checked before its second was up";
  ticksFor(2 * kTickMs);
  EXPECT_EQ(num_joysticks, 0);
}

TEST_F(PadHotplugTest, APadReplacedBetweenTwoTicksIsTakenUpAnew) {
  plug();
  startGamepad();
  holdFireRightUp();
  tick();
  ASSERT_EQ(padButton(), 0);
  releasePad();  // the new pad holds only its last button
  held.button[3].b = 1;
  plug();
  tick();
  EXPECT_EQ(installs, 2);
  EXPECT_EQ(gamepadEnabled, 1);
  EXPECT_EQ(padButton(), 3);
}

TEST_F(PadHotplugTest, ANodeTheDriverRefusesIsTriedAgainOnlyOnceItChanges) {
  plug();
  padFound = false;  // a node it cannot open, say
  startGamepad();
  ticksFor(5000);
  EXPECT_EQ(installs, 1);
  EXPECT_EQ(gamepadEnabled, 0);
  plug();  // its permissions put right: a changed node
  ticksFor(1000 + kTickMs);
  EXPECT_EQ(installs, 2);
  EXPECT_EQ(gamepadEnabled, 1);
}

// What J chose outlives the pad: switched off, a pad plugged in again stays off.
TEST_F(PadHotplugTest, TheJSwitchOutlivesPullsAndPlugs) {
  enum Step { J, Pull, Plug };
  struct Case {
    const char* name;
    bool padAtStart;
    std::vector<Step> steps;
    uint8_t enabled;
  };
  const Case cases[] = {
      {"pulled out and put back: on again", true, {Pull, Plug}, 1},
      {"switched off, pulled out and put back: still off", true, {J, Pull, Plug}, 0},
      {"switched off and on, pulled out and put back: on", true, {J, J, Pull, Plug}, 1},
      {"pulled out, J, put back: J switched it on", true, {Pull, J, Plug}, 1},
      {"none at start, one plugged in: on", false, {Plug}, 1},
      {"none at start, J twice, one plugged in: off", false, {J, J, Plug}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    releasePad();
    if (c.padAtStart) plug();
    startGamepad();
    for (Step step : c.steps) {
      if (step == J) switchGamepad();
      if (step == Pull) pull();
      if (step == Plug) plug();
      ticksFor(1000 + kTickMs);
    }
    EXPECT_EQ(num_joysticks, 1) << "the pad is taken up, on or off";
    EXPECT_EQ(gamepadEnabled, c.enabled);
    held.button[1].b = 1;
    tick();
    EXPECT_EQ(padButton(), c.enabled ? 1 : -1);
    if (!c.enabled) {
      switchGamepad();
      tick();
      EXPECT_EQ(padButton(), 1) << "J switches the pad plugged in on";
    }
    stopGamepad();
    if (padFound) pull();
  }
}

}  // namespace
