// The initials entry screen and insertHighScore: letters, cursor, clearing, the frame, and a
// new score placed in its table through the real loop.
#include "screens/InitialsEntry.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ScreenTesting.h"
#include "game/GameState.h"
#include "scores/HighScoreTable.h"
#include "screens/InitialsEntryScreen.h"
#include "support/SoundSpy.h"

namespace {
class InitialsEntryTest : public ScoresScreenTest {
 protected:
  BitmapPtr highscore = makeCellSheet(1, 2, kHighscoreColours);
};

constexpr int16_t E = kNoLetter;

struct TickCase {
  const char* name;
  int16_t startCursor;
  std::vector<Inputs> ticks;
  bool done;  // on the last tick
  Initials letters;
  int16_t taken;
  int16_t cursor;
};

const TickCase kTickCases[] = {
    {"the press that ended the game takes no letter",
     0,
     {{KEY_ENTER}, {KEY_ENTER}, {}, {KEY_ENTER}},
     false,
     {0, E, E},
     1,
     0},
    {"the same glyph three times",
     5,
     {{}, {KEY_ENTER}, {}, {KEY_SPACE}, {}, {PadButton3}},
     true,
     {5, 5, 5},
     3,
     5},
    {"spelling C B A",
     0,
     {{},
      {KEY_RIGHT},
      {},
      {KEY_RIGHT},
      {},
      {KEY_ENTER},
      {},
      {KEY_LEFT},
      {},
      {KEY_ENTER},
      {},
      {KEY_LEFT},
      {},
      {KEY_ENTER}},
     true,
     {2, 1, 0},
     3,
     0},
    {"Right held moves one glyph",
     0,
     {{}, {KEY_RIGHT}, {KEY_RIGHT}, {KEY_RIGHT}},
     false,
     {E, E, E},
     0,
     1},
    {"Right stops at the last glyph", 26, {{}, {KEY_RIGHT}}, false, {E, E, E}, 0, 26},
    {"Left stops at the first glyph", 0, {{}, {KEY_LEFT}}, false, {E, E, E}, 0, 0},
    {"Right wins over Left", 10, {{}, {KEY_LEFT, KEY_RIGHT}}, false, {E, E, E}, 0, 11},
    {"at the last glyph Left acts beside a refused Right",
     26,
     {{}, {KEY_LEFT, KEY_RIGHT}},
     false,
     {E, E, E},
     0,
     25},
    {"pad right and pad left move",
     3,
     {{}, {PadRight}, {}, {PadRight}, {}, {PadLeft}},
     false,
     {E, E, E},
     0,
     4},
    {"Esc after two letters empties the slots",
     4,
     {{}, {KEY_ENTER}, {}, {KEY_ENTER}, {}, {KEY_ESC}},
     false,
     {E, E, E},
     0,
     4},
    {"after Esc the next letter goes to the first slot",
     4,
     {{}, {KEY_ENTER}, {}, {KEY_ESC}, {}, {KEY_RIGHT}, {}, {KEY_ENTER}},
     false,
     {5, E, E},
     1,
     5},
    {"taking wins over Esc", 2, {{}, {KEY_ENTER, KEY_ESC}}, false, {2, E, E}, 1, 2},
    {"a held Esc holds the next letter back",
     2,
     {{}, {KEY_ESC}, {KEY_ESC, KEY_ENTER}},
     false,
     {E, E, E},
     0,
     2},
    {"Up and Down are not watched",
     0,
     {{KEY_ENTER}, {KEY_UP, KEY_DOWN}, {KEY_ENTER}},
     false,
     {0, E, E},
     1,
     0},
};

TEST_F(InitialsEntryTest, TickRulesAndSilence) {
  SoundSpy spy;
  for (const TickCase& c : kTickCases) {
    SCOPED_TRACE(c.name);
    InitialsEntryScreen screen(highscore.get(), 0);
    screen.letterCursor = c.startCursor;
    spy.clear();
    auto run = tickThrough(screen, c.ticks);
    EXPECT_EQ(run.result.has_value(), c.done);
    if (run.result) {
      EXPECT_EQ(*run.result, c.letters);
    }
    EXPECT_EQ(run.ticks, static_cast<int>(c.ticks.size())) << "finished early";
    EXPECT_EQ(screen.enteredLetters, c.letters);
    EXPECT_EQ(screen.lettersTaken, c.taken);
    EXPECT_EQ(screen.letterCursor, c.cursor);
    EXPECT_TRUE(spy.calls().empty()) << "no sound but the one on entry";
  }
}

TEST_F(InitialsEntryTest, PadCountsOnlyWhenSwitchedOn) {
  gamepadEnabled = 0;
  InitialsEntryScreen screen(highscore.get(), 0);
  tickThrough(screen, {{}, {PadRight}, {}, {PadButton}});
  EXPECT_EQ(screen.letterCursor, 0);
  EXPECT_EQ(screen.lettersTaken, 0);
}

TEST_F(InitialsEntryTest, EnteringPlaysTheHighscoreSound) {
  SoundSpy spy;
  InitialsEntryScreen screen(highscore.get(), 1);
  EXPECT_EQ(spy.playedSamples(), std::vector<std::string>{"highscore.wav"});
}

// Asked to quit halfway, the screen keeps what was taken and fills the rest with glyph 0.
TEST_F(InitialsEntryTest, AQuitRequestKeepsTheLettersTaken) {
  InitialsEntryScreen screen(highscore.get(), 0);
  EXPECT_EQ(screen.interrupted(), (Initials{0, 0, 0}));
  tickThrough(screen, {{}, {KEY_RIGHT}, {}, {KEY_RIGHT}, {}, {KEY_ENTER}});
  EXPECT_EQ(screen.interrupted(), (Initials{2, 0, 0}));
}

TEST_F(InitialsEntryTest, FrameShowsTitleRankLettersAndStrip) {
  const Rgb title = sheetCellColour(kHighscoreColours, 1, 0, 0);
  const Rgb caption = sheetCellColour(kHighscoreColours, 1, 0, 1);
  InitialsEntryScreen screen(highscore.get(), 2);
  screen.enteredLetters = {3, 7, E};
  screen.lettersTaken = 2;
  screen.draw();
  for (auto probes : {cellAt(144, 20, title), cellAt(101, 66, caption),
                      cellAt(192, 66, levelnCell(2)), cellAt(112, 112, alphaGlyph(3, true)),
                      cellAt(144, 112, alphaGlyph(7, true)), cellAt(176, 112, kBackground)})
    expectProbes(probes);
  expectProbes({{134, 67, kBackground}});  // the caption is one picture wide

  // The strip: the glyph under the cursor in the middle cell, neighbours plain beside it.
  struct Case {
    int16_t cursor;
    int firstX;  // leftmost cell drawn
    int lastX;   // rightmost cell drawn
  };
  for (const Case& c :
       {Case{0, 144, 272}, Case{26, 16, 144}, Case{13, 16, 272}, Case{2, 80, 272}}) {
    SCOPED_TRACE(::testing::Message() << "cursor " << c.cursor);
    screen.letterCursor = c.cursor;
    screen.draw();
    for (int x = 16; x <= 272; x += 32) {
      int glyph = c.cursor + (x - 144) / 32;
      bool drawn = x >= c.firstX && x <= c.lastX;
      expectProbes(cellAt(x, 160, drawn ? alphaGlyph(glyph, x == 144) : kBackground));
    }
  }
}

TEST_F(InitialsEntryTest, DrawsWithoutItsPictures) {
  ScopedGlobalBitmap noAlpha(alphaBmp, nullptr);
  ScopedGlobalBitmap noLeveln(levelnBmp, nullptr);
  InitialsEntryScreen bare(nullptr, 0);
  bare.draw();
  EXPECT_EQ(countPixels(drawBuffer, kBackground), 320 * 240);
}

// insertHighScore through the real entry loop: the scripted pad spells B B B.
TEST_F(InitialsEntryTest, InsertHighScorePlacesTheNewEntry) {
  struct Case {
    const char* name;
    int16_t mode;
    uint32_t score;
    bool entered;
    uint32_t after[3];
    int newRank;
  };
  const Case cases[] = {
      {"above all three", Score, 900, true, {900, 500, 300}, 0},
      {"equal to the second: below it", Score, 300, true, {500, 300, 300}, 2},
      {"equal to the last: nothing", Score, 100, false, {500, 300, 100}, -1},
      {"nothing at all", Score, 0, false, {500, 300, 100}, -1},
      {"2^31 and more is above 500", Score, 0x80000000u, true, {0x80000000u, 500, 300}, 0},
      {"another mode's table", TimeAttack, 2, true, {2, 1, 1}, 0},
  };
  SoundSpy spy;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    spy.clear();
    setDefaultHighScores(highScoreTable);
    std::remove(kHighScoreFile);  // the last case's save is no file of this one
    const uint32_t start[3] = {500, 300, 100};
    for (int r = 0; r < kRanks; ++r)
      highScoreTable.entries[Score][r] = {{int16_t(10 + r), int16_t(10 + r), int16_t(10 + r)},
                                          start[r]};
    const HighScoreTable before = highScoreTable;
    gameState.mode = c.mode;
    gameState.score = c.score;
    clearQuitRequest();
    pendingTicks = 100;
    TestPad::playScript({{}, {PadRight}, {}, {PadButton}, {}, {PadButton}, {}, {PadButton}});

    EXPECT_EQ(insertHighScore(), c.entered);
    TestPad::scripted = false;
    EXPECT_FALSE(quitRequested()) << "the entry did not finish on its own";

    for (int r = 0; r < kRanks; ++r)
      EXPECT_EQ(highScoreTable.entries[c.mode][r].score, c.after[r]) << "rank " << r;
    if (c.entered) {
      const int16_t* letters = highScoreTable.entries[c.mode][c.newRank].letters;
      EXPECT_EQ(std::vector<int16_t>(letters, letters + 3), (std::vector<int16_t>{1, 1, 1}));
      EXPECT_EQ(std::vector<int16_t>(lastInitials, lastInitials + 3),
                (std::vector<int16_t>{1, 1, 1}));
      // The old entry at the new rank now stands one below, letters and all.
      if (c.newRank < 2 && c.mode == Score) {
        EXPECT_EQ(highScoreTable.entries[Score][c.newRank + 1].letters[0],
                  before.entries[Score][c.newRank].letters[0]);
      }
      EXPECT_EQ(spy.playedSamples(), std::vector<std::string>{"highscore.wav"});
    } else {
      EXPECT_TRUE(spy.calls().empty()) << "no screen";
      EXPECT_EQ(TestPad::script.size(), 8u) << "no screen polled the pad";
    }
    int other = c.mode == Score ? Collect : Score;
    for (int r = 0; r < kRanks; ++r)
      EXPECT_EQ(highScoreTable.entries[other][r].score, before.entries[other][r].score);
  }
}

// A quit request during the entry still places the score, with glyph 0 for missing letters.
TEST_F(InitialsEntryTest, InsertHighScoreAskedToQuitKeepsTheScore) {
  gameState.mode = Collect;
  gameState.score = 42;
  requestQuit();
  EXPECT_TRUE(insertHighScore());
  EXPECT_EQ(highScoreTable.entries[Collect][0].score, 42u);
  EXPECT_EQ(highScoreTable.entries[Collect][0].letters[0], 0);
  EXPECT_EQ(highScoreTable.entries[Collect][1].score, 1u);
}
}  // namespace
