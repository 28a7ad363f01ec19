// The high score viewer: leaving, page turning, its entry sound and music, and its frame.
#include "screens/HighScoreViewer.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScreenTesting.h"
#include "audio/SoundLibrary.h"
#include "game/GameState.h"
#include "scores/HighScoreTable.h"
#include "screens/HighScoreViewerScreen.h"
#include "support/SoundSpy.h"

namespace {
class HighScoreViewerTest : public ScoresScreenTest {
 protected:
  BitmapPtr menu = makeCellSheet(2, 5, kMenuColours);
  BitmapPtr pageflip = makeCellSheet(2, 1, kPageflipColours);
};

struct TickCase {
  const char* name;
  int16_t firstPage;
  std::vector<Inputs> ticks;
  bool leaves;  // on the last tick
  int16_t page;
};

const TickCase kTickCases[] = {
    {"Enter still down from the menu waits for a release",
     0,
     {{KEY_ENTER}, {KEY_ENTER}, {}, {KEY_ENTER}},
     true,
     0},
    {"Esc leaves", 1, {{}, {KEY_ESC}}, true, 1},
    {"Space leaves", 1, {{}, {KEY_SPACE}}, true, 1},
    {"a pad button leaves", 1, {{}, {PadButton3}}, true, 1},
    {"Up and Down are not watched", 0, {{KEY_ENTER}, {KEY_UP, KEY_DOWN}, {KEY_ENTER}}, true, 0},
    {"leaving wins over turning", 1, {{}, {KEY_LEFT, KEY_ESC}}, true, 1},
    {"Right on the last page does nothing", 2, {{}, {KEY_RIGHT}}, false, 2},
    {"Left on the first page does nothing", 0, {{}, {KEY_LEFT}}, false, 0},
    {"a held Left turns one page", 2, {{}, {KEY_LEFT}, {KEY_LEFT}, {KEY_LEFT}}, false, 1},
    {"Left and Right: Left wins", 1, {{}, {KEY_LEFT, KEY_RIGHT}}, false, 0},
    {"Left and Right on the first page: Right acts", 0, {{}, {KEY_LEFT, KEY_RIGHT}}, false, 1},
    {"a held page turn holds Enter back", 0, {{}, {KEY_RIGHT}, {KEY_RIGHT, KEY_ENTER}}, false, 1},
    {"pad right and pad left turn", 0, {{}, {PadRight}, {}, {PadRight}, {}, {PadLeft}}, false, 1},
    {"a stray first page is held to the tables", 7, {{}, {KEY_RIGHT}}, false, 2},
};

TEST_F(HighScoreViewerTest, TickRulesAndSilence) {
  SoundSpy spy;
  for (const TickCase& c : kTickCases) {
    SCOPED_TRACE(c.name);
    HighScoreViewerScreen screen(menu.get(), pageflip.get(), c.firstPage);
    spy.clear();
    auto run = tickThrough(screen, c.ticks);
    EXPECT_EQ(run.result.has_value(), c.leaves);
    EXPECT_EQ(run.ticks, static_cast<int>(c.ticks.size())) << "left early";
    EXPECT_EQ(screen.viewerPage, c.page);
    EXPECT_TRUE(spy.calls().empty()) << "turning and leaving make no sound";
  }
}

TEST_F(HighScoreViewerTest, PadCountsOnlyWhenSwitchedOn) {
  gamepadEnabled = 0;
  HighScoreViewerScreen screen(menu.get(), pageflip.get(), 0);
  auto run = tickThrough(screen, {{}, {PadRight}, {}, {PadButton}});
  EXPECT_FALSE(run.result);
  EXPECT_EQ(screen.viewerPage, 0);
}

TEST_F(HighScoreViewerTest, EnteringPlaysItsSoundAndStartsLevelTwoMusicLooping) {
  SoundSpy spy;
  HighScoreViewerScreen screen(menu.get(), pageflip.get(), 0);
  EXPECT_EQ(spy.playedSamples(), std::vector<std::string>{"hs-menu.wav"});
  EXPECT_EQ(spy.openedStreams(), std::vector<std::string>{"LV02.MP3"});
  std::vector<std::string> order;
  for (const SoundCall& call : spy.calls()) {
    order.push_back(call.call);
    if (call.call == "FSOUND_Stream_Open") {
      EXPECT_TRUE(call.value & FSOUND_LOOP_NORMAL);
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{"FSOUND_PlaySound", "FSOUND_Stream_Open",
                                             "FSOUND_Stream_Play"}));
}

TEST_F(HighScoreViewerTest, FrameShowsHeadingsArrowsAndTheModesTable) {
  HighScoreEntry* score = highScoreTable.entries[Score];
  score[0] = {{7, 4, 11}, 120};
  score[1] = {{26, -1, 300}, 7};          // indexes out of the strip draw nothing
  score[2] = {{-32768, 0, 32767}, 1024};  // and never reach outside "alpha.bmp"

  auto menuCell = [](int row) { return sheetCellColour(kMenuColours, 2, 0, row); };
  const Rgb previous = sheetCellColour(kPageflipColours, 2, 0, 0);
  const Rgb next = sheetCellColour(kPageflipColours, 2, 1, 0);

  struct Case {
    int16_t page;
    bool previousArrow;
    bool nextArrow;
  };
  for (const Case& c : {Case{0, false, true}, Case{1, true, true}, Case{2, true, false}}) {
    SCOPED_TRACE(::testing::Message() << "page " << c.page);
    HighScoreViewerScreen screen(menu.get(), pageflip.get(), c.page);
    screen.draw();
    expectProbes(cellAt(16, 16, menuCell(3)));
    expectProbes(cellAt(16, 48, menuCell(c.page)));
    expectProbes({{49, 17, kBackground}, {49, 49, kBackground}});  // highlighted halves only
    expectProbes(c.previousArrow ? cellAt(5, 208, previous) : cellAt(5, 208, kBackground));
    expectProbes(c.nextArrow ? cellAt(283, 208, next) : cellAt(283, 208, kBackground));
    for (int rank = 0; rank < kRanks; ++rank) {
      int y = 96 + 32 * rank;
      expectProbes(cellAt(32, y, levelnCell(rank)));
      expectProbes(cellAt(64, y, alphaGlyph(0, true)));
    }
  }

  HighScoreViewerScreen screen(menu.get(), pageflip.get(), Score);
  screen.draw();
  // Letters 24 pixels apart, each over the right edge of the one before.
  expectProbes({{97, 97, alphaGlyph(7, false)},
                {121, 97, alphaGlyph(4, false)},
                {145, 97, alphaGlyph(11, false)},
                {174, 126, alphaGlyph(11, false)},
                {175, 127, kBackground}});
  // 120 and 7 and 1024 in "leveln.bmp" cells: 1 2 0 / 7 / 1 0 2 4.
  expectProbes({{185, 97, levelnCell(0)},
                {209, 97, levelnCell(1)},
                {233, 97, levelnCell(10)},
                {185, 129, levelnCell(6)},
                {217, 129, kBackground},
                {185, 161, levelnCell(0)},
                {209, 161, levelnCell(10)},
                {233, 161, levelnCell(1)},
                {257, 161, levelnCell(3)}});
  // Rank 1: glyph 26, then nothing where the two stray letters would stand.
  expectProbes(
      {{97, 129, alphaGlyph(26, false)}, {130, 140, kBackground}, {160, 140, kBackground}});
  // Rank 2: nothing for -32768, glyph 0 in the middle, nothing for 32767.
  expectProbes(
      {{100, 170, kBackground}, {121, 161, alphaGlyph(0, false)}, {160, 170, kBackground}});
}

TEST_F(HighScoreViewerTest, DrawsWithoutItsPictures) {
  ScopedGlobalBitmap noAlpha(alphaBmp, nullptr);
  ScopedGlobalBitmap noLeveln(levelnBmp, nullptr);
  HighScoreViewerScreen bare(nullptr, nullptr, 1);
  bare.draw();
  EXPECT_EQ(countPixels(drawBuffer, kBackground), 320 * 240);
}

TEST_F(HighScoreViewerTest, RunsUntilLeftOrAskedToQuit) {
  SoundSpy spy;
  for (auto script : {std::vector<Inputs>{{}, {PadRight}, {}, {PadButton}},
                      std::vector<Inputs>{{}, {PadRight}}}) {
    spy.clear();
    clearQuitRequest();
    pendingTicks = 20;
    TestPad::playScript(script);
    runHighScoreViewer(2);
    EXPECT_TRUE(TestPad::script.empty());
    EXPECT_EQ(spy.playedSamples(), std::vector<std::string>{"hs-menu.wav"});
  }
}
}  // namespace
