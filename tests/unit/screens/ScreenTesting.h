// Shared by the screen tests: held keys and a pad that the screens poll, fixture pictures in
// the global handles, and probes of what a frame put into drawBuffer.
#pragma once
#include <allegro.h>
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "app/QuitRequest.h"
#include "app/Settings.h"
#include "game/GameState.h"
#include "gfx/Assets.h"
#include "gfx/Draw.h"
#include "scores/HighScoreTable.h"
#include "support/FixtureBitmaps.h"
#include "support/TestJoystick.h"

// Inputs held during one tick: Allegro scancodes, or these pad inputs (past every scancode).
enum PadInput : int { PadButton = 1000, PadButton3, PadUp, PadDown, PadLeft, PadRight };
using Inputs = std::vector<int>;

// A plugged-in pad behind a driver of our own: a poll copies the pad's state into joy[0]
// as a real driver would, so a screen sees the pad only if it polls. A scripted pad hands
// out one state per poll and asks the program to quit when the script runs out, which lets
// a test run the real blocking loops to their end.
class TestPad {
 public:
  TestPad() {
    num_joysticks = 1;
    held = shape(JOYSTICK_INFO{});
    joy[0] = held;
    script.clear();
    scripted = false;
  }
  ~TestPad() {
    joy[0] = JOYSTICK_INFO{};
    script.clear();
    scripted = false;
  }
  TestPad(const TestPad&) = delete;
  TestPad& operator=(const TestPad&) = delete;

  static JOYSTICK_INFO stateOf(const Inputs& inputs) {
    JOYSTICK_INFO pad = shape(JOYSTICK_INFO{});
    for (int input : inputs) {
      switch (input) {
        case PadButton:
          pad.button[0].b = 1;
          break;
        case PadButton3:
          pad.button[3].b = 1;
          break;
        case PadUp:
          pad.stick[0].axis[1].d1 = -1;
          break;
        case PadDown:
          pad.stick[0].axis[1].d2 = -1;
          break;
        case PadLeft:
          pad.stick[0].axis[0].d1 = -1;
          break;
        case PadRight:
          pad.stick[0].axis[0].d2 = -1;
          break;
        default:
          break;
      }
    }
    return pad;
  }

  // One pad state per poll, then a quit request.
  static void playScript(const std::vector<Inputs>& ticks) {
    script.clear();
    for (const Inputs& inputs : ticks) script.push_back(stateOf(inputs));
    scripted = true;
  }

  static inline JOYSTICK_INFO held{};
  static inline std::deque<JOYSTICK_INFO> script;
  static inline bool scripted = false;

 private:
  static JOYSTICK_INFO shape(JOYSTICK_INFO pad) {
    pad.flags = JOYFLAG_DIGITAL;
    pad.num_sticks = 1;
    pad.stick[0].num_axis = 2;
    pad.num_buttons = 4;
    return pad;
  }
  static int poll() {
    if (scripted) {
      if (script.empty()) {
        requestQuit();
        held = shape(JOYSTICK_INFO{});
      } else {
        held = script.front();
        script.pop_front();
      }
    }
    joy[0] = held;
    return 0;
  }

  TestJoystick joystick_{&TestPad::poll};
};

// Exactly these inputs down for the next tick: keys at once, the pad at the next poll.
inline void holdOnly(const Inputs& inputs) {
  for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
  for (int input : inputs)
    if (input < KEY_MAX) key[input] = 1;
  TestPad::held = TestPad::stateOf(inputs);
}

// Ticks a screen with one set of held inputs per tick until it finishes or the list ends.
template <class Screen>
struct TickRun {
  std::optional<typename Screen::Result> result;
  int ticks = 0;  // ticks run, the finishing one included
};

template <class Screen>
TickRun<Screen> tickThrough(Screen& screen, const std::vector<Inputs>& ticks) {
  TickRun<Screen> run;
  for (const Inputs& inputs : ticks) {
    holdOnly(inputs);
    ++run.ticks;
    run.result = screen.tick();
    if (run.result) break;
  }
  holdOnly({});
  return run;
}

// Colour numbers of the fixture pictures, each its own range.
inline const Rgb kBackground = distinctColour(0);
constexpr int kAlphaColours = 100;      // "alpha.bmp", 27 x 2 cells
constexpr int kLevelnColours = 200;     // "leveln.bmp", 11 cells
constexpr int kMenuColours = 300;       // "menu.bmp", 2 x 5 cells
constexpr int kLoaderColours = 320;     // "LOADER.BMP", 2 x 3 cells
constexpr int kGamepadColours = 330;    // "GAMEPAD.BMP", 1 x 3 cells
constexpr int kHighscoreColours = 340;  // "highscore.bmp", 1 x 2 cells
constexpr int kPageflipColours = 350;   // "pageflip.bmp", 2 x 1 cells
inline const Rgb kCreditColour = distinctColour(360);
inline const Rgb kLogoColour = distinctColour(361);

inline Rgb alphaGlyph(int glyph, bool highlighted) {
  return sheetCellColour(kAlphaColours, 27, glyph, highlighted ? 0 : 1);
}
inline Rgb levelnCell(int cell) { return sheetCellColour(kLevelnColours, 11, cell, 0); }

// A 320x240 frame and the shared pictures the screens draw, plus the state every screen
// reads; all put back afterwards.
class ScreenTest : public ::testing::Test {
 protected:
  ScreenTest()
      : savedMusic_(musicEnabled), savedSound_(soundEnabled), savedTicks_(pendingTicks.load()) {
    holdOnly({});
    gamepadEnabled = 1;
    pendingTicks = 0;
    clearQuitRequest();
  }
  ~ScreenTest() override {
    holdOnly({});
    clearQuitRequest();
    pendingTicks = savedTicks_;
    musicEnabled = savedMusic_;
    soundEnabled = savedSound_;
  }

  struct Probe {
    int x;
    int y;
    Rgb colour;
  };

  // A masked fixture cell (or picture) of w x h at (x, y): its inside shows its colour and
  // its transparent border shows what lies under it, which pins both place and size.
  static std::vector<Probe> cellAt(int x, int y, Rgb colour, Rgb under = kBackground, int w = 32,
                                   int h = 32) {
    return {{x + 1, y + 1, colour},
            {x + w - 2, y + h - 2, colour},
            {x, y, under},
            {x + w - 1, y + h - 1, under}};
  }

  static void expectProbes(const std::vector<Probe>& probes) {
    for (const Probe& p : probes)
      EXPECT_EQ(pixelAt(drawBuffer, p.x, p.y), p.colour) << "at (" << p.x << ", " << p.y << ")";
  }

  struct Text {
    std::string text;
    int x;
    int y;
  };

  // The rectangle shows exactly these shadowed texts over the background, nothing more.
  static void expectTexts(const std::vector<Text>& texts, int x, int y, int w, int h) {
    BitmapPtr reference = makeSolidBitmap(320, 240, kBackground);
    for (const Text& t : texts) drawShadowText(reference.get(), t.text.c_str(), t.x, t.y);
    if (!texts.empty()) {
      ASSERT_LT(countPixels(reference.get(), kBackground, x, y, w, h), w * h)
          << "the texts draw nothing here";
    }
    int differing = 0;
    for (int row = y; row < y + h; ++row)
      for (int column = x; column < x + w; ++column)
        if (!(pixelAt(drawBuffer, column, row) == pixelAt(reference.get(), column, row)))
          ++differing;
    EXPECT_EQ(differing, 0) << "pixels that differ from the expected text";
  }

  ScopedGlobalBitmap buffer{drawBuffer, makeSolidBitmap(320, 240, kBlack)};
  ScopedGlobalBitmap background{bgBmp, makeSolidBitmap(320, 240, kBackground)};
  ScopedGlobalBitmap alpha{alphaBmp, makeCellSheet(27, 2, kAlphaColours)};
  ScopedGlobalBitmap leveln{levelnBmp, makeCellSheet(11, 1, kLevelnColours)};
  TestPad pad;

 private:
  uint8_t savedMusic_;
  uint8_t savedSound_;
  int32_t savedTicks_;
};

// A screen test that changes the high score tables or the game record: both start from the
// defaults and are put back afterwards.
class ScoresScreenTest : public ScreenTest {
 protected:
  ScoresScreenTest() : savedTable_(highScoreTable), savedGame_(gameState) {
    setDefaultHighScores(highScoreTable);
  }
  ~ScoresScreenTest() override {
    highScoreTable = savedTable_;
    gameState = savedGame_;
  }

 private:
  HighScoreTable savedTable_;
  GameState savedGame_;
};
