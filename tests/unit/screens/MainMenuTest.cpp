// The main menu: its tick rules and sounds, the F10 test score, the logo pulse and the frame.
#include "screens/MainMenu.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ScreenTesting.h"
#include "game/GameState.h"
#include "scores/HighScoreTable.h"
#include "screens/MainMenuScreen.h"
#include "support/SoundSpy.h"

namespace {
class MainMenuTest : public ScoresScreenTest {
 protected:
  // The table as the run holds it; no file yet, so a save at placement merges into nothing.
  void setScoreTable(uint32_t first, uint32_t second, uint32_t third) {
    std::remove(kHighScoreFile);
    highScoreTable.entries[Score][0].score = first;
    highScoreTable.entries[Score][1].score = second;
    highScoreTable.entries[Score][2].score = third;
  }
  std::vector<uint32_t> scoreTable() const {
    std::vector<uint32_t> scores;
    for (const auto& entry : highScoreTable.entries[Score]) scores.push_back(entry.score);
    return scores;
  }

  BitmapPtr credit = makePicture(100, 20, kCreditColour);
  BitmapPtr menu = makeCellSheet(2, 5, kMenuColours);
  ScopedGlobalBitmap logo{logoBmp, makeFrameStrip(1, 40, 24, 361)};
};

const std::string kMove = "Block01.Wav";
const std::string kChoose = "Block02.Wav";

struct TickCase {
  const char* name;
  int16_t startCursor;
  std::vector<Inputs> ticks;
  std::optional<MenuChoice> result;  // on the last tick, or none at all
  int16_t cursor;
  std::vector<std::string> sounds;
};

const TickCase kTickCases[] = {
    {"Enter still down from the last screen waits for a release",
     0,
     {{KEY_ENTER}, {KEY_ENTER}, {KEY_ENTER}, {}, {KEY_ENTER}},
     PlayCollect,
     0,
     {kChoose}},
    {"a pad button still down waits too",
     0,
     {{PadButton}, {PadButton}, {}, {PadButton}},
     PlayCollect,
     0,
     {kChoose}},
    {"an input the menu does not watch counts as released",
     0,
     {{KEY_ENTER}, {KEY_LEFT, KEY_M}, {KEY_ENTER}},
     PlayCollect,
     0,
     {kChoose}},
    {"Down twice then Space",
     0,
     {{}, {KEY_DOWN}, {}, {KEY_DOWN}, {}, {KEY_SPACE}},
     PlayTimeAttack,
     2,
     {kMove, kMove, kChoose}},
    {"Down held moves once", 0, {{}, {KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}}, std::nullopt, 1, {kMove}},
    {"pad down and pad up move",
     2,
     {{}, {PadDown}, {}, {PadUp}, {}, {PadUp}},
     std::nullopt,
     1,
     {kMove, kMove, kMove}},
    {"Up on the first item does nothing", 0, {{}, {KEY_UP}}, std::nullopt, 0, {}},
    {"Down on the last item does nothing", 4, {{}, {KEY_DOWN}}, std::nullopt, 4, {}},
    {"Enter on the high scores item", 3, {{}, {KEY_ENTER}}, ShowHighScores, 3, {kChoose}},
    {"Enter on the last item quits silently", 4, {{}, {KEY_ENTER}}, Quit, 4, {}},
    {"Esc quits silently from any item", 2, {{}, {KEY_ESC}}, Quit, 2, {}},
    {"Esc wins over Enter", 1, {{}, {KEY_ESC, KEY_ENTER}}, Quit, 1, {}},
    {"the choice wins over Up", 2, {{}, {KEY_ENTER, KEY_UP}}, PlayTimeAttack, 2, {kChoose}},
    {"Up wins over Down", 2, {{}, {KEY_UP, KEY_DOWN}}, std::nullopt, 1, {kMove}},
    {"on the first item Down acts beside a refused Up",
     0,
     {{}, {KEY_UP, KEY_DOWN}},
     std::nullopt,
     1,
     {kMove}},
    {"Esc held from the last screen quits on its next press",
     0,
     {{KEY_ESC}, {KEY_ESC}, {}, {}, {KEY_ESC}},
     Quit,
     0,
     {}},
    {"a held move holds Esc back too",
     0,
     {{}, {KEY_DOWN}, {KEY_DOWN, KEY_ESC}},
     std::nullopt,
     1,
     {kMove}},
};

TEST_F(MainMenuTest, TickRules) {
  SoundSpy spy;
  for (const TickCase& c : kTickCases) {
    SCOPED_TRACE(c.name);
    spy.clear();
    MainMenuScreen screen(credit.get(), menu.get());
    screen.menuCursor = c.startCursor;
    auto run = tickThrough(screen, c.ticks);
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.ticks, static_cast<int>(c.ticks.size())) << "finished early";
    EXPECT_EQ(screen.menuCursor, c.cursor);
    EXPECT_EQ(spy.playedSamples(), c.sounds);
  }
}

TEST_F(MainMenuTest, PadCountsOnlyWhenSwitchedOn) {
  gamepadEnabled = 0;
  MainMenuScreen screen(credit.get(), menu.get());
  auto run = tickThrough(screen, {{}, {PadDown}, {}, {PadButton}});
  EXPECT_FALSE(run.result);
  EXPECT_EQ(screen.menuCursor, 0);
}

// F10 enters 50000 as a Score result on every tick it is down, whatever inputHeld says.
// The initials entry it opens is asked to quit at once here, so it takes glyph 0 three times.
TEST_F(MainMenuTest, F10EntersTheTestScoreOnEveryTickItIsDown) {
  struct Case {
    const char* name;
    uint32_t table[3];
    std::vector<Inputs> ticks;
    std::vector<uint32_t> after;
    int entries;  // initials entries opened
  };
  const Case cases[] = {
      {"held from the start, it fills the table",
       {1, 1, 1},
       {{KEY_F10}, {KEY_F10}, {KEY_F10}, {KEY_F10}},
       {50000, 50000, 50000},
       3},
      {"one tick beats the last entry", {90000, 60000, 100}, {{KEY_F10}}, {90000, 60000, 50000}, 1},
      {"50000 everywhere already: nothing",
       {50000, 50000, 50000},
       {{}, {KEY_F10}},
       {50000, 50000, 50000},
       0},
  };
  SoundSpy spy;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    spy.clear();
    setScoreTable(c.table[0], c.table[1], c.table[2]);
    gameState.mode = TimeAttack;
    gameState.score = 7;
    requestQuit();
    MainMenuScreen screen(credit.get(), menu.get());
    auto run = tickThrough(screen, c.ticks);
    clearQuitRequest();
    EXPECT_FALSE(run.result);
    EXPECT_EQ(scoreTable(), c.after);
    EXPECT_EQ(gameState.mode, Score);
    EXPECT_EQ(gameState.score, kF10Score);
    EXPECT_EQ(spy.playedSamples(), std::vector<std::string>(c.entries, "highscore.wav"));
  }
}

TEST_F(MainMenuTest, F10LeavesAHeldConfirmHeld) {
  setScoreTable(90000, 90000, 90000);
  MainMenuScreen screen(credit.get(), menu.get());
  auto run = tickThrough(screen, {{KEY_ENTER}, {KEY_F10}, {KEY_ENTER}});
  EXPECT_FALSE(run.result) << "the F10 tick is no release";
  run = tickThrough(screen, {{}, {KEY_ENTER}});
  EXPECT_EQ(run.result, PlayCollect);
}

// The entry screen runs in its own loop (here on a scripted pad) and the menu carries on
// where it was, with no viewer after it.
TEST_F(MainMenuTest, F10RunsTheInitialsEntryAndTheMenuResumes) {
  SoundSpy spy;
  setScoreTable(60000, 40000, 100);
  MainMenuScreen screen(credit.get(), menu.get());
  tickThrough(screen, {{}, {KEY_DOWN}, {}, {KEY_DOWN}, {}});  // ends released
  int16_t pulse = screen.logoPulse;
  spy.clear();

  pendingTicks = 100;
  // The first state goes to the menu's own poll, the rest to the entry screen's ticks.
  TestPad::playScript({{}, {}, {PadRight}, {}, {PadButton}, {}, {PadButton}, {}, {PadButton}});
  auto run = tickThrough(screen, {{KEY_F10}});
  EXPECT_FALSE(quitRequested()) << "the script ran out before the third letter";
  TestPad::scripted = false;

  EXPECT_FALSE(run.result);
  EXPECT_EQ(scoreTable(), (std::vector<uint32_t>{60000, 50000, 40000}));
  const int16_t* letters = highScoreTable.entries[Score][1].letters;
  EXPECT_EQ(std::vector<int16_t>(letters, letters + 3), (std::vector<int16_t>{1, 1, 1}));
  EXPECT_EQ(screen.menuCursor, 2);
  EXPECT_EQ(screen.logoPulse, pulse - 1);
  EXPECT_EQ(spy.playedSamples(), std::vector<std::string>{"highscore.wav"});
  EXPECT_TRUE(spy.openedStreams().empty());

  // The button that took the last letter, still down, chooses nothing until released.
  run = tickThrough(screen, {{KEY_ENTER}, {KEY_ENTER}});
  EXPECT_FALSE(run.result);
  run = tickThrough(screen, {{}, {KEY_ENTER}});
  EXPECT_EQ(run.result, PlayTimeAttack);
}

TEST_F(MainMenuTest, LogoPulseIsATriangleFrom254Rising) {
  struct Step {
    int ticks;
    int16_t pulse;
  };
  const Step steps[] = {{0, 254},  {1, 255},   {2, 254},   {100, 156}, {206, 50},
                        {207, 51}, {411, 255}, {412, 254}, {616, 50}};
  MainMenuScreen screen(credit.get(), menu.get());
  int ticked = 0;
  for (const Step& step : steps) {
    for (; ticked < step.ticks; ++ticked) screen.tick();
    EXPECT_EQ(screen.logoPulse, step.pulse) << "after " << step.ticks << " ticks";
  }
}

TEST_F(MainMenuTest, FrameShowsItemsCreditLogoAndVersion) {
  auto item = [](int row, bool highlighted) {
    return sheetCellColour(kMenuColours, 2, highlighted ? 0 : 1, row);
  };
  for (int16_t cursor : {0, 3}) {
    SCOPED_TRACE(::testing::Message() << "cursor " << cursor);
    MainMenuScreen screen(credit.get(), menu.get());
    screen.menuCursor = cursor;
    for (int i = 0; i < 100; ++i) screen.tick();  // the pulse is now 156
    screen.draw();

    for (int row = 0; row < kMenuItems; ++row) {
      expectProbes(cellAt(16, 16 + 32 * row, item(row, row == cursor)));
      expectProbes({{49, 17 + 32 * row, kBackground}});  // one half only
    }
    expectProbes(cellAt(110, 208, kCreditColour, kBackground, 100, 20));

    // The logo is blended in at (163, 116) with the pulse of this tick.
    BitmapPtr reference = makeSolidBitmap(320, 240, kBackground);
    blendBlit(logoBmp, reference.get(), 40, 0, 163, 116, 156);
    ASSERT_NE(pixelAt(reference.get(), 170, 120), kBackground);
    for (auto [x, y] : {std::pair{163, 116}, {202, 139}, {180, 130}})
      EXPECT_EQ(pixelAt(drawBuffer, x, y), pixelAt(reference.get(), x, y)) << x << "," << y;
    expectProbes({{162, 116, kBackground}, {203, 139, kBackground}, {163, 140, kBackground}});
    BitmapPtr fullStrength = makeSolidBitmap(320, 240, kBackground);
    blendBlit(logoBmp, fullStrength.get(), 40, 0, 163, 116, 254);
    EXPECT_NE(pixelAt(drawBuffer, 170, 120), pixelAt(fullStrength.get(), 170, 120))
        << "drawn with the start factor, not the pulse";

    expectTexts({{"v1.1", 285, 5}}, 260, 0, 60, 16);
  }
}

TEST_F(MainMenuTest, DrawsWithoutItsPictures) {
  ScopedGlobalBitmap noLogo(logoBmp, nullptr);
  MainMenuScreen bare(nullptr, nullptr);
  bare.draw();
  expectProbes({{20, 20, kBackground}, {170, 120, kBackground}, {160, 215, kBackground}});
  expectTexts({{"v1.1", 285, 5}}, 260, 0, 60, 16);
}

TEST_F(MainMenuTest, RunsToTheChoiceOrQuitsWhenAskedTo) {
  struct Case {
    const char* name;
    std::vector<Inputs> script;
    MenuChoice result;
  };
  const Case cases[] = {
      {"Down, then a button", {{}, {PadDown}, {}, {PadButton}}, PlayScore},
      {"asked to quit", {{}, {PadDown}}, Quit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clearQuitRequest();
    pendingTicks = 20;
    TestPad::playScript(c.script);
    EXPECT_EQ(runMainMenu(), c.result);
  }
}
}  // namespace
