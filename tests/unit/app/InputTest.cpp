// The input layer: pad queries behind the gamepad switch, the polling rule, logical inputs.
#include "app/Input.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/Settings.h"
#include "game/SimulatedDevices.h"

namespace {

class InputTest : public ::testing::Test {
 protected:
  SimulatedDevices devices;
};

struct Direction {
  const char* name;
  int axis;
  bool negative;
  bool (*query)();
};

const Direction kDirections[] = {
    {"up", 1, true, padUp},
    {"down", 1, false, padDown},
    {"left", 0, true, padLeft},
    {"right", 0, false, padRight},
};

TEST_F(InputTest, EachDirectionReadsItsOwnFlagOfStickZero) {
  for (const Direction& held : kDirections) {
    SCOPED_TRACE(held.name);
    SimulatedDevices::releaseAll();
    SimulatedDevices::plugPad(2, true);
    SimulatedDevices::holdPadDirection(held.axis, held.negative);
    for (const Direction& asked : kDirections)
      EXPECT_EQ(asked.query(), &asked == &held) << "asked " << asked.name;
  }
}

// Allegro's Linux driver sets a flag to 1, its Windows drivers to -1: both are a press.
TEST_F(InputTest, AnyNonZeroFlagIsAPress) {
  for (int value : {1, -1, 2, 127}) {
    SCOPED_TRACE(value);
    for (const Direction& d : kDirections) {
      SimulatedDevices::releaseAll();
      SimulatedDevices::plugPad(2, true);
      JOYSTICK_AXIS_INFO& axis = joy[0].stick[0].axis[d.axis];
      (d.negative ? axis.d1 : axis.d2) = value;
      EXPECT_TRUE(d.query()) << d.name;
    }
  }
  SimulatedDevices::releaseAll();
  SimulatedDevices::plugPad(2, true);
  for (const Direction& d : kDirections) EXPECT_FALSE(d.query()) << d.name << " at rest";
}

// Flags left in axes the driver did not describe (a previous pad's, say) are not read.
TEST_F(InputTest, OnlyTheAxesStickZeroHasAreRead) {
  struct Case {
    const char* name;
    int sticks;
    int axes;
    bool horizontal;
    bool vertical;
  };
  const Case cases[] = {
      {"two axes", 1, 2, true, true},
      {"a single axis: horizontal only", 1, 1, true, false},
      {"a stick without axes", 1, 0, false, false},
      {"no stick at all", 0, 2, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedDevices::releaseAll();
    SimulatedDevices::plugPad(0, true);
    joy[0].num_sticks = c.sticks;
    joy[0].stick[0].num_axis = c.axes;
    for (const Direction& d : kDirections) SimulatedDevices::holdPadDirection(d.axis, d.negative);
    EXPECT_EQ(padLeft(), c.horizontal);
    EXPECT_EQ(padRight(), c.horizontal);
    EXPECT_EQ(padUp(), c.vertical);
    EXPECT_EQ(padDown(), c.vertical);
  }
}

TEST_F(InputTest, OtherSticksAndPadsAreNotRead) {
  SimulatedDevices::plugPad(4, true);
  num_joysticks = 2;
  joy[0].num_sticks = 2;
  joy[0].stick[1].axis[0].d1 = -1;
  joy[0].stick[1].axis[1].d2 = -1;
  joy[1].stick[0].axis[0].d2 = -1;
  joy[1].num_buttons = 4;
  joy[1].button[0].b = 1;
  EXPECT_FALSE(padLeft());
  EXPECT_FALSE(padDown());
  EXPECT_FALSE(padRight());
  EXPECT_EQ(padButton(), -1);
  joy[1] = JOYSTICK_INFO{};
}

TEST_F(InputTest, PadButtonAnswers) {
  struct Case {
    const char* name;
    bool enabled;
    int buttons;
    std::initializer_list<int> pressed;
    int expected;
  };
  const Case cases[] = {
      {"none pressed", true, 4, {}, -1},
      {"one pressed", true, 4, {2}, 2},
      {"two pressed: the lower index", true, 4, {3, 1}, 1},
      {"last button", true, 4, {3}, 3},
      {"pressed beyond num_buttons", true, 2, {2, 5}, -1},
      {"pad without buttons", true, 0, {0}, -1},
      {"pad switched off", false, 4, {0, 1}, -1},
      {"absurd button count is held to the array",
       true,
       1000,
       {MAX_JOYSTICK_BUTTONS - 1},
       MAX_JOYSTICK_BUTTONS - 1},
      {"negative button count", true, -5, {0}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedDevices::releaseAll();
    SimulatedDevices::plugPad(c.buttons, c.enabled);
    for (int b : c.pressed) joy[0].button[b].b = 1;
    EXPECT_EQ(padButton(), c.expected);
  }
}

TEST_F(InputTest, SwitchedOffOrAbsentPadAnswersNothing) {
  for (bool attached : {true, false}) {
    SCOPED_TRACE(attached ? "attached, switched off" : "switched on, none attached");
    SimulatedDevices::releaseAll();
    SimulatedDevices::plugPad(4, !attached);
    if (!attached) num_joysticks = 0;
    for (const Direction& d : kDirections) SimulatedDevices::holdPadDirection(d.axis, d.negative);
    for (auto& button : joy[0].button) button.b = 1;
    for (const Direction& d : kDirections) EXPECT_FALSE(d.query()) << d.name;
    EXPECT_EQ(padButton(), -1);
    EXPECT_FALSE(confirmDown());
    EXPECT_FALSE(upDown() || downDown() || leftDown() || rightDown());
  }
}

TEST_F(InputTest, PollsOnlyWhenThePadIsOn) {
  SimulatedDevices::plugPad(2, false);
  pollGamepad();
  EXPECT_EQ(SimulatedDevices::polls, 0);
  gamepadEnabled = 1;
  pollGamepad();
  EXPECT_EQ(SimulatedDevices::polls, 1);
}

TEST_F(InputTest, PadStateArrivesWithThePoll) {
  SimulatedDevices::plugPad(2, true);
  JOYSTICK_INFO device = joy[0];
  device.button[1].b = 1;
  SimulatedDevices::padOnNextPoll = device;
  EXPECT_EQ(padButton(), -1);
  pollGamepad();
  EXPECT_EQ(padButton(), 1);
}

TEST_F(InputTest, LogicalInputsJoinKeyboardAndPad) {
  struct Case {
    const char* name;
    bool (*input)();
    int keyA;
    int keyB;
    std::function<void()> padPress;
  };
  const Case cases[] = {
      {"confirm", confirmDown, KEY_ENTER, KEY_SPACE, [] { joy[0].button[0].b = 1; }},
      {"escape", escapeDown, KEY_ESC, KEY_ESC, nullptr},
      {"up", upDown, KEY_UP, KEY_UP, [] { SimulatedDevices::holdPadDirection(1, true); }},
      {"down", downDown, KEY_DOWN, KEY_DOWN, [] { SimulatedDevices::holdPadDirection(1, false); }},
      {"left", leftDown, KEY_LEFT, KEY_LEFT, [] { SimulatedDevices::holdPadDirection(0, true); }},
      {"right", rightDown, KEY_RIGHT, KEY_RIGHT,
       [] { SimulatedDevices::holdPadDirection(0, false); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedDevices::releaseAll();
    SimulatedDevices::plugPad(2, true);
    EXPECT_FALSE(c.input());
    for (int k : {c.keyA, c.keyB}) {
      key[k] = 1;
      EXPECT_TRUE(c.input()) << "key " << k;
      key[k] = 0;
    }
    // Keys of the other inputs do not count for this one.
    for (const Case& other : cases)
      if (&other != &c) {
        key[other.keyA] = 1;
        key[other.keyB] = 1;
      }
    EXPECT_FALSE(c.input());
    SimulatedDevices::releaseAll();
    SimulatedDevices::plugPad(2, true);
    if (c.padPress) {
      c.padPress();
      EXPECT_TRUE(c.input()) << "pad";
      gamepadEnabled = 0;
      EXPECT_FALSE(c.input()) << "pad switched off";
    }
  }
}

}  // namespace
