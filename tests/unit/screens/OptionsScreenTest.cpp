// The start-up options screen: its tick rules, its sounds and its frame.
#include "screens/OptionsScreen.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScreenTesting.h"
#include "support/SoundSpy.h"

namespace {
class OptionsScreenTest : public ScreenTest {
 protected:
  BitmapPtr loader = makeCellSheet(2, 3, kLoaderColours);
  BitmapPtr gamepad = makeCellSheet(1, 3, kGamepadColours);
  OptionsScreen screen{loader.get(), gamepad.get()};
};

struct Settings3 {
  uint8_t music;
  uint8_t sound;
  uint8_t pad;
};

struct TickCase {
  const char* name;
  Settings3 start;
  std::vector<Inputs> ticks;
  std::optional<DisplayChoice> result;  // on the last tick, or none at all
  int16_t displayChoice;
  Settings3 end;
  std::vector<std::string> sounds;
};

const Settings3 kAllOn{1, 1, 1};
const std::string kRow = "Block01.Wav";
const std::string kChoose = "Block02.Wav";
const std::string kSwitch = "Block04.Wav";

const TickCase kTickCases[] = {
    {"Enter down from start-up chooses the upper row at once",
     kAllOn,
     {{KEY_ENTER}},
     FullScreen,
     0,
     kAllOn,
     {kChoose}},
    {"so does Space", kAllOn, {{KEY_SPACE}}, FullScreen, 0, kAllOn, {kChoose}},
    {"so does a pad button", kAllOn, {{PadButton3}}, FullScreen, 0, kAllOn, {kChoose}},
    {"a pad button is nothing with the pad off",
     {1, 1, 0},
     {{PadButton}, {}},
     std::nullopt,
     0,
     {1, 1, 0},
     {}},
    {"Esc down from start-up quits on the second tick",
     kAllOn,
     {{KEY_ESC}, {KEY_ESC}},
     QuitAtStart,
     0,
     kAllOn,
     {}},
    {"Esc wins over Enter", kAllOn, {{}, {KEY_ESC, KEY_ENTER}}, QuitAtStart, 0, kAllOn, {}},
    {"Esc is held back by a held row key",
     kAllOn,
     {{}, {KEY_UP}, {KEY_UP, KEY_ESC}},
     std::nullopt,
     1,
     kAllOn,
     {kRow}},
    {"Down then Enter stays in the window",
     kAllOn,
     {{}, {KEY_DOWN}, {KEY_DOWN, KEY_ENTER}},
     Windowed,
     1,
     kAllOn,
     {kRow, kChoose}},
    {"Up twice comes back to the upper row",
     kAllOn,
     {{}, {KEY_UP}, {}, {KEY_UP}},
     std::nullopt,
     0,
     kAllOn,
     {kRow, kRow}},
    {"a held Up switches once",
     kAllOn,
     {{}, {KEY_UP}, {KEY_UP}, {KEY_UP}},
     std::nullopt,
     1,
     kAllOn,
     {kRow}},
    {"Up and Down together switch once",
     kAllOn,
     {{}, {KEY_UP, KEY_DOWN}},
     std::nullopt,
     1,
     kAllOn,
     {kRow}},
    {"pad up and pad down switch too",
     kAllOn,
     {{}, {PadUp}, {}, {PadDown}},
     std::nullopt,
     0,
     kAllOn,
     {kRow, kRow}},
    {"M held switches music once",
     kAllOn,
     {{}, {KEY_M}, {KEY_M}, {KEY_M}},
     std::nullopt,
     0,
     {0, 1, 1},
     {kSwitch}},
    {"S after M needs a release between",
     kAllOn,
     {{}, {KEY_M}, {KEY_M, KEY_S}, {}, {KEY_S}},
     std::nullopt,
     0,
     {0, 0, 1},
     {kSwitch, kSwitch}},
    {"a row change needs M released",
     kAllOn,
     {{}, {KEY_M}, {KEY_M, KEY_DOWN}},
     std::nullopt,
     0,
     {0, 1, 1},
     {kSwitch}},
    {"Up outranks M on the same tick",
     kAllOn,
     {{}, {KEY_UP, KEY_M}},
     std::nullopt,
     1,
     kAllOn,
     {kRow}},
    {"J works while M is held",
     kAllOn,
     {{}, {KEY_M}, {KEY_M, KEY_J}},
     std::nullopt,
     0,
     {0, 1, 0},
     {kSwitch, kSwitch}},
    {"M and a row change work while J is held",
     kAllOn,
     {{}, {KEY_J}, {KEY_J, KEY_M}, {KEY_J}, {KEY_J, KEY_DOWN}},
     std::nullopt,
     1,
     {0, 1, 0},
     {kSwitch, kSwitch, kRow}},
    {"J held switches the pad once",
     kAllOn,
     {{KEY_J}, {KEY_J}, {KEY_J}},
     std::nullopt,
     0,
     {1, 1, 0},
     {kSwitch}},
    {"J pressed twice switches it back",
     kAllOn,
     {{KEY_J}, {}, {KEY_J}},
     std::nullopt,
     0,
     kAllOn,
     {kSwitch, kSwitch}},
    {"effects switched off still sound, switched on again stay silent",
     kAllOn,
     {{}, {KEY_S}, {}, {KEY_S}},
     std::nullopt,
     0,
     kAllOn,
     {kSwitch}},
    {"switching the pad off releases a held pad direction at once",
     kAllOn,
     {{}, {PadUp}, {PadUp, KEY_J}, {PadUp, KEY_M}},
     std::nullopt,
     1,
     {0, 1, 0},
     {kRow, kSwitch, kSwitch}},
    {"a switch is not a choice: Enter after it still chooses",
     kAllOn,
     {{}, {KEY_M}, {KEY_ENTER}},
     FullScreen,
     0,
     {0, 1, 1},
     {kSwitch, kChoose}},
};

TEST_F(OptionsScreenTest, TickRules) {
  SoundSpy spy;
  for (const TickCase& c : kTickCases) {
    SCOPED_TRACE(c.name);
    spy.clear();
    musicEnabled = c.start.music;
    soundEnabled = c.start.sound;
    gamepadEnabled = c.start.pad;
    OptionsScreen fresh(loader.get(), gamepad.get());
    auto run = tickThrough(fresh, c.ticks);
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.ticks, static_cast<int>(c.ticks.size())) << "finished early";
    EXPECT_EQ(fresh.displayChoice, c.displayChoice);
    EXPECT_EQ(musicEnabled, c.end.music);
    EXPECT_EQ(soundEnabled, c.end.sound);
    EXPECT_EQ(gamepadEnabled, c.end.pad);
    EXPECT_EQ(spy.playedSamples(), c.sounds);
  }
}

// With no sound library the flags arrive clear; switching them on stays silent and harmless.
TEST_F(OptionsScreenTest, SwitchingSoundOnWithoutASoundLibraryIsHarmless) {
  musicEnabled = 0;
  soundEnabled = 0;
  auto run = tickThrough(screen, {{}, {KEY_S}, {}, {KEY_M}, {}, {KEY_DOWN}, {KEY_ENTER}});
  EXPECT_EQ(run.result, Windowed);
  EXPECT_EQ(musicEnabled, 1);
  EXPECT_EQ(soundEnabled, 1);
}

TEST_F(OptionsScreenTest, FrameShowsTitleRowsAndPadState) {
  const Rgb title0 = sheetCellColour(kLoaderColours, 2, 0, 2);
  const Rgb title1 = sheetCellColour(kLoaderColours, 2, 1, 2);
  auto loaderCell = [](int column, int row) {
    return sheetCellColour(kLoaderColours, 2, column, row);
  };
  auto padCell = [](int row) { return sheetCellColour(kGamepadColours, 1, 0, row); };

  struct Case {
    int16_t displayChoice;
    uint8_t pad;
    int row0Column;  // 0: highlighted half, 1: plain half
    int row1Column;
    int padRow;
  };
  for (const Case& c : {Case{0, 1, 0, 1, 1}, Case{1, 0, 1, 0, 2}}) {
    SCOPED_TRACE(::testing::Message() << "row " << c.displayChoice << " pad " << int{c.pad});
    screen.displayChoice = c.displayChoice;
    gamepadEnabled = c.pad;
    screen.draw();
    // The title spans the whole width (two cells) centred; each row is one half, centred.
    for (auto probes : {cellAt(128, 35, title0), cellAt(160, 35, title1),
                        cellAt(144, 100, loaderCell(c.row0Column, 0)),
                        cellAt(144, 132, loaderCell(c.row1Column, 1)), cellAt(5, 206, padCell(0)),
                        cellAt(101, 206, padCell(c.padRow))})
      expectProbes(probes);
    expectProbes({{177, 101, kBackground}, {177, 133, kBackground}, {38, 207, kBackground}});
    expectTexts({}, 0, 0, 160, 35);  // no notice before a switch
  }
}

// Each notice appears with the first switch of its setting and then follows the setting.
TEST_F(OptionsScreenTest, NoticesFollowTheSettings) {
  struct Case {
    const char* name;
    std::vector<Inputs> ticks;
    std::vector<Text> texts;
  };
  const Case cases[] = {
      {"music off", {{}, {KEY_M}}, {{"Disable music", 5, 15}}},
      {"music off and on again", {{}, {KEY_M}, {}, {KEY_M}}, {{"Enable music", 5, 15}}},
      {"effects off", {{}, {KEY_S}}, {{"Disable sound FX", 5, 25}}},
      {"pad off", {{KEY_J}}, {{"Disable gamepad", 5, 5}}},
      {"all three, pad on again",
       {{KEY_J}, {}, {KEY_J}, {KEY_S}, {}, {KEY_M}},
       {{"Enable gamepad", 5, 5}, {"Disable music", 5, 15}, {"Disable sound FX", 5, 25}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    musicEnabled = soundEnabled = gamepadEnabled = 1;
    OptionsScreen fresh(loader.get(), gamepad.get());
    tickThrough(fresh, c.ticks);
    fresh.draw();
    expectTexts(c.texts, 0, 0, 160, 35);
  }
}

TEST_F(OptionsScreenTest, DrawsWithoutItsPictures) {
  OptionsScreen bare(nullptr, nullptr);
  bare.draw();
  EXPECT_EQ(countPixels(drawBuffer, kBackground), 320 * 240);
}

// The real loop, its pictures missing from the working folder, driven by a scripted pad.
TEST_F(OptionsScreenTest, RunsToTheChoiceOrLeavesAsEscWhenAskedToQuit) {
  struct Case {
    const char* name;
    std::vector<Inputs> script;
    DisplayChoice result;
  };
  const Case cases[] = {
      {"Down, then a button", {{}, {PadDown}, {}, {PadButton}}, Windowed},
      {"asked to quit halfway", {{}, {PadDown}}, QuitAtStart},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clearQuitRequest();
    pendingTicks = 20;
    TestPad::playScript(c.script);
    EXPECT_EQ(runOptionsScreen(), c.result);
  }
}
}  // namespace
