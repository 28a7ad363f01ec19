// The game screen: what each phase of the ready sequence shows, and where the beam, cannon,
// board, mode panel, level, lives, combo and end picture land. Every fixture cell and picture
// has a colour of its own, so a pixel tells which one was drawn there.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "game/GameState.h"
#include "gfx/Assets.h"
#include "gfx/Draw.h"
#include "support/FixtureBitmaps.h"

namespace {

constexpr int kBlocksFirst = 10;  // 2 x 4 cells
constexpr int kFlashFirst = 30;   // 5 frames
constexpr int kLevelnFirst = 40;  // 11 cells
const Rgb kPlayfield = distinctColour(200);
const Rgb kLevelCaption = distinctColour(60);
const Rgb kComboCaption = distinctColour(61);
const Rgb kLife = distinctColour(62);
const Rgb kReady = distinctColour(63);
const Rgb kGo = distinctColour(64);
const Rgb kGameOver = distinctColour(65);
const Rgb kSuperPlayer = distinctColour(66);

Rgb blockColour(int colour) { return sheetCellColour(kBlocksFirst, 2, 0, colour); }
Rgb cannonColour(int colour) { return sheetCellColour(kBlocksFirst, 2, 1, colour); }
Rgb glyphColour(int cell) { return sheetCellColour(kLevelnFirst, 11, cell, 0); }

struct Placed {
  int x;
  int y;
  int cell;
};

class DrawGameTest : public ::testing::Test {
 protected:
  DrawGameTest() {
    for (auto& row : state.field)
      for (int16_t& cell : row) cell = kEmpty;
    for (auto& row : state.bin)
      for (int16_t& cell : row) cell = kEmpty;
    state.mode = Score;
    state.readyPicture = 3;
    state.lives = 3;
    state.beamIntensity = 160;
  }

  Rgb at(int x, int y) { return pixelAt(drawBuffer, x, y); }
  // A 32x32 glyph or cell is recognised by its colour 12 pixels right of and 16 below its corner.
  void expectGlyphs(const std::vector<Placed>& glyphs) {
    for (const Placed& g : glyphs)
      EXPECT_EQ(at(g.x + 12, g.y + 16), glyphColour(g.cell)) << "glyph at " << g.x << "," << g.y;
  }
  // The colour the beam of `frame` at `factor` gives over the playfield.
  Rgb beamOverPlayfield(int frame, int factor) {
    BitmapPtr pixel = makeSolidBitmap(1, 1, kPlayfield);
    BitmapPtr source = makeSolidBitmap(1, 1, distinctColour(kFlashFirst + frame));
    blendBlit(source.get(), pixel.get(), 1, 0, 0, 0, static_cast<int16_t>(factor));
    return pixelAt(pixel.get(), 0, 0);
  }

  GameState state{};
  ScopedGlobalBitmap buffer{drawBuffer, makeSolidBitmap(320, 240, distinctColour(201))};
  ScopedGlobalBitmap playfield{playfieldBmp, makeSolidBitmap(320, 240, kPlayfield)};
  ScopedGlobalBitmap blocks{blocksBmp, makeCellSheet(2, 4, kBlocksFirst)};
  ScopedGlobalBitmap flash{flashBmp, makeFrameStrip(5, 32, 240, kFlashFirst)};
  ScopedGlobalBitmap leveln{levelnBmp, makeCellSheet(11, 1, kLevelnFirst)};
  ScopedGlobalBitmap level{levelBmp, makePicture(100, 32, kLevelCaption)};
  ScopedGlobalBitmap comboCaption{comboBmp, makePicture(100, 32, kComboCaption)};
  ScopedGlobalBitmap life{lifeBmp, makeCellSheet(1, 1, 62)};
  ScopedGlobalBitmap ready{readyBmp, makePicture(120, 40, kReady)};
  ScopedGlobalBitmap go{goBmp, makePicture(81, 30, kGo)};
  ScopedGlobalBitmap gameover{gameoverBmp, makePicture(201, 61, kGameOver)};
  ScopedGlobalBitmap superplayer{superplayerBmp, makePicture(180, 80, kSuperPlayer)};
};

// --- The ready sequence -------------------------------------------------------------------

struct ReadyCase {
  int readyPicture;
  Rgb colour;  // of the picture shown, or the playfield when none
  int width;
  int height;
};

class DrawGameReady : public DrawGameTest, public ::testing::WithParamInterface<ReadyCase> {};

TEST_P(DrawGameReady, ShowsOnlyThePlayfieldAndThePicture) {
  const ReadyCase& c = GetParam();
  state.readyPicture = static_cast<int16_t>(c.readyPicture);
  state.field[6][0] = 1;  // a game that would show if drawn
  state.combo = 4;
  state.comboTimer = 30;

  state.drawGame();

  int inner = 0;
  if (c.colour != kPlayfield) {
    // Centred across at y 60; the picture's magenta border stays transparent.
    int left = (320 - c.width) / 2;
    inner = (c.width - 2) * (c.height - 2);
    EXPECT_EQ(countPixels(drawBuffer, c.colour, left + 1, 61, c.width - 2, c.height - 2), inner);
    EXPECT_EQ(at(left, 61), kPlayfield);
    EXPECT_EQ(at(left + c.width - 1, 61), kPlayfield);
  }
  EXPECT_EQ(countPixels(drawBuffer, kPlayfield), 320 * 240 - inner);
}

INSTANTIATE_TEST_SUITE_P(Pictures, DrawGameReady,
                         ::testing::Values(ReadyCase{0, kPlayfield, 0, 0},
                                           ReadyCase{1, kReady, 120, 40},
                                           ReadyCase{2, kGo, 81, 30},  // odd width: x 119
                                           ReadyCase{-1, kPlayfield, 0, 0},
                                           ReadyCase{4, kPlayfield, 0, 0}));

// --- Beam, cannon and board ----------------------------------------------------------------

struct BeamCase {
  int beamIntensity;
  int color;
  int column;
  int frame;
  int factor;
};

class DrawGameBeam : public DrawGameTest, public ::testing::WithParamInterface<BeamCase> {};

TEST_P(DrawGameBeam, BlendsTheFrameUpTheCannonsColumn) {
  const BeamCase& c = GetParam();
  state.beamIntensity = static_cast<int16_t>(c.beamIntensity);
  state.color = static_cast<int16_t>(c.color);
  state.column = static_cast<int16_t>(c.column);

  state.drawGame();

  Rgb beam = beamOverPlayfield(c.frame, c.factor);
  ASSERT_NE(beam, kPlayfield);
  // Above the cannon, the board half shows the beam in its column and the playfield elsewhere.
  EXPECT_EQ(countPixels(drawBuffer, beam, 32 * c.column, 0, 32, 206), 32 * 206);
  EXPECT_EQ(countPixels(drawBuffer, kPlayfield, 0, 0, 160, 206), 128 * 206);
}

INSTANTIATE_TEST_SUITE_P(Intensities, DrawGameBeam,
                         ::testing::Values(BeamCase{160, 2, 1, 2, 160},  // at rest
                                           BeamCase{160, 0, 0, 0, 160},
                                           BeamCase{120, 3, 4, 3, 160},  // below rest: still 160
                                           BeamCase{245, 1, 3, 4, 245},  // the first step of a shot
                                           BeamCase{165, 1, 2, 4, 165},
                                           BeamCase{161, 0, 0, 4, 161}));

TEST_F(DrawGameTest, CannonLiesOverTheBeamAndUnderTheBottomRow) {
  state.color = 2;
  state.column = 3;
  state.field[6][3] = 1;

  state.drawGame();

  Rgb beam = beamOverPlayfield(2, 160);
  EXPECT_EQ(at(112, 230), cannonColour(2));  // cannon cell rows 206 to 237
  EXPECT_EQ(at(97, 236), cannonColour(2));
  EXPECT_EQ(at(96, 230), beam);  // the cannon's magenta border lets the beam through
  EXPECT_EQ(at(112, 238), beam);
  EXPECT_EQ(at(112, 215), blockColour(1));  // the bottom row covers the cannon's top
  EXPECT_EQ(at(112, 200), blockColour(1));
}

TEST_F(DrawGameTest, BoardCellsShowTheirColourAndNothingForOtherValues) {
  ScopedGlobalBitmap noBeam{flashBmp, nullptr};
  for (int r = 0; r < kBoardRows; ++r)
    for (int n = 0; n < kBoardColumns; ++n)
      state.field[r][n] = static_cast<int16_t>((r * 5 + n) % 6 - 1);  // -1 to 4
  state.field[0][0] = 99;
  state.field[2][4] = -7;

  state.drawGame();

  for (int r = 0; r < kBoardRows; ++r)
    for (int n = 0; n < kBoardColumns; ++n) {
      int value = state.field[r][n];
      // Upper half of the cell, clear of the cannon that reaches into the bottom row.
      Rgb expected = value >= 0 && value <= 3 ? blockColour(value) : kPlayfield;
      EXPECT_EQ(at(32 * n + 16, 32 * r + 8), expected) << "row " << r << " column " << n;
    }
}

// --- The mode panel -------------------------------------------------------------------------

void fillBin(GameState& state) {
  for (int r = 0; r < kBinRows; ++r)
    for (int n = 0; n < kBinColumns; ++n)
      state.bin[r][n] = static_cast<int16_t>((r * 5 + n) % 5 - 1);
  state.bin[3][4] = 7;
}

TEST_F(DrawGameTest, CollectShowsTheBin) {
  state.mode = Collect;
  fillBin(state);

  state.drawGame();

  for (int r = 0; r < kBinRows; ++r)
    for (int n = 0; n < kBinColumns; ++n) {
      int value = state.bin[r][n];
      Rgb expected = value >= 0 && value <= 3 ? blockColour(value) : kPlayfield;
      EXPECT_EQ(at(160 + 32 * n + 16, 32 + 32 * r + 16), expected) << "bin " << r << "," << n;
    }
}

class DrawGameNoBin : public DrawGameTest, public ::testing::WithParamInterface<GameMode> {};

TEST_P(DrawGameNoBin, OtherModesLeaveTheBinOut) {
  state.mode = GetParam();
  fillBin(state);

  state.drawGame();

  for (int colour = 0; colour < kColors; ++colour)
    EXPECT_EQ(countPixels(drawBuffer, blockColour(colour), 160, 0, 160, 240), 0) << colour;
}

INSTANTIATE_TEST_SUITE_P(Modes, DrawGameNoBin, ::testing::Values(Score, TimeAttack));

struct PanelCase {
  GameMode mode;
  uint32_t score;
  int secondsLeft;
  std::vector<Placed> glyphs;
  std::vector<Placed> emptyAt;  // number positions of other modes, where the playfield shows
};

class DrawGamePanel : public DrawGameTest, public ::testing::WithParamInterface<PanelCase> {};

TEST_P(DrawGamePanel, DrawsTheModesNumbers) {
  const PanelCase& c = GetParam();
  state.mode = c.mode;
  state.score = c.score;
  state.secondsLeft = static_cast<int16_t>(c.secondsLeft);

  state.drawGame();

  expectGlyphs(c.glyphs);
  for (const Placed& p : c.emptyAt)
    EXPECT_EQ(at(p.x + 12, p.y + 16), kPlayfield) << "at " << p.x << "," << p.y;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DrawGamePanel,
    ::testing::Values(PanelCase{Score,
                                105,
                                45,
                                {{176, 80, 0}, {200, 80, 10}, {224, 80, 4}},
                                {{208, 48, 0}, {208, 112, 0}}},
                      PanelCase{Score, 0, 45, {{176, 80, 10}}, {{200, 80, 0}}},
                      // Eight digits: the sixth is cut at the edge, the rest lie beyond it.
                      PanelCase{Score, 12345678, 0, {{176, 80, 0}, {200, 80, 1}, {296, 80, 5}}, {}},
                      PanelCase{TimeAttack,
                                1234,
                                45,
                                {{208, 48, 3},
                                 {232, 48, 4},
                                 {208, 112, 0},
                                 {232, 112, 1},
                                 {256, 112, 2},
                                 {280, 112, 3}},
                                {{176, 80, 0}}},
                      PanelCase{TimeAttack, 0, 0, {{208, 48, 10}, {208, 112, 10}}, {{232, 48, 0}}},
                      PanelCase{Collect, 5, 45, {}, {{176, 80, 0}, {208, 48, 0}, {208, 112, 0}}}));

// --- Level, lives and combo -----------------------------------------------------------------

struct LevelCase {
  GameMode mode;
  int level;
  std::vector<Placed> glyphs;
};

class DrawGameLevel : public DrawGameTest, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(DrawGameLevel, ShowsCaptionAndLevelPlusOne) {
  const LevelCase& c = GetParam();
  state.mode = c.mode;
  state.level = static_cast<int16_t>(c.level);

  state.drawGame();

  EXPECT_EQ(countPixels(drawBuffer, kLevelCaption, 163, 4, 98, 30), 98 * 30);
  EXPECT_EQ(at(162, 4), kPlayfield);
  expectGlyphs(c.glyphs);
  if (c.glyphs.empty()) {
    EXPECT_EQ(at(286, 19), kPlayfield);
  }
  if (c.glyphs.size() < 2) {
    EXPECT_EQ(at(310, 19), kPlayfield);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Levels, DrawGameLevel,
    ::testing::Values(LevelCase{Score, 0, {{274, 3, 0}}},                     // "1"
                      LevelCase{Collect, 4, {{274, 3, 4}}},                   // "5"
                      LevelCase{TimeAttack, 9, {{274, 3, 9}}},                // "10", one cell
                      LevelCase{Score, 10, {{274, 3, 0}, {298, 3, 0}}},       // "11" written out
                      LevelCase{TimeAttack, 14, {{274, 3, 0}, {298, 3, 4}}},  // "15"
                      LevelCase{Score, 98, {{274, 3, 8}, {298, 3, 8}}},       // "99"
                      LevelCase{Score, -1, {}}));  // no glyph for an impossible level

struct LivesCase {
  GameMode mode;
  int lives;
  int icons;
};

class DrawGameLives : public DrawGameTest, public ::testing::WithParamInterface<LivesCase> {};

TEST_P(DrawGameLives, DrawsAtMostFourIcons) {
  const LivesCase& c = GetParam();
  state.mode = c.mode;
  state.lives = static_cast<int16_t>(c.lives);

  state.drawGame();

  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(at(169 + 32 * i + 16, 212), i < c.icons ? kLife : kPlayfield) << "icon " << i;
  EXPECT_EQ(at(169, 212), kPlayfield);  // the icon's magenta border
  EXPECT_EQ(countPixels(drawBuffer, kLife), c.icons * 30 * 30);
}

INSTANTIATE_TEST_SUITE_P(Lives, DrawGameLives,
                         ::testing::Values(LivesCase{Collect, 3, 3}, LivesCase{Score, 1, 1},
                                           LivesCase{Score, 4, 4}, LivesCase{Collect, 5, 4},
                                           LivesCase{Score, 0, 0}, LivesCase{Collect, -2, 0},
                                           LivesCase{TimeAttack, 3, 0}));

struct ComboCase {
  GameMode mode;
  int combo;
  int comboTimer;
  int cell;  // -1: no combo shown
};

class DrawGameCombo : public DrawGameTest, public ::testing::WithParamInterface<ComboCase> {};

TEST_P(DrawGameCombo, ShowsARunningComboOfTwoOrMore) {
  const ComboCase& c = GetParam();
  state.mode = c.mode;
  state.combo = static_cast<int16_t>(c.combo);
  state.comboTimer = static_cast<int16_t>(c.comboTimer);

  state.drawGame();

  bool shown = c.cell >= 0;
  EXPECT_EQ(countPixels(drawBuffer, kComboCaption, 164, 163, 98, 30), shown ? 98 * 30 : 0);
  EXPECT_EQ(at(163, 170), kPlayfield);
  EXPECT_EQ(at(286, 178), shown ? glyphColour(c.cell) : kPlayfield);
}

INSTANTIATE_TEST_SUITE_P(Combos, DrawGameCombo,
                         ::testing::Values(ComboCase{Collect, 2, 60, 1}, ComboCase{Score, 9, 1, 8},
                                           ComboCase{Score, 10, 60, 9},
                                           ComboCase{Collect, 12, 60, 9},
                                           ComboCase{Score, 1, 60, -1}, ComboCase{Score, 0, 60, -1},
                                           ComboCase{Score, 5, 0, -1},
                                           ComboCase{Collect, 5, -3, -1},
                                           ComboCase{TimeAttack, 5, 60, -1}));

// --- The end of the game ------------------------------------------------------------------

struct EndCase {
  int endPicture;
  Rgb colour;  // of the picture shown, or the playfield when none
  int width;
  int height;
};

class DrawGameEnd : public DrawGameTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(DrawGameEnd, CentresThePictureOverTheGame) {
  const EndCase& c = GetParam();
  state.endPicture = static_cast<int16_t>(c.endPicture);
  for (auto& row : state.field)
    for (int16_t& cell : row) cell = 1;

  state.drawGame();

  if (c.colour == kPlayfield) {
    EXPECT_EQ(countPixels(drawBuffer, kGameOver), 0);
    EXPECT_EQ(countPixels(drawBuffer, kSuperPlayer), 0);
    return;
  }
  int left = (320 - c.width) / 2;
  int top = (240 - c.height) / 2;
  EXPECT_EQ(countPixels(drawBuffer, c.colour), (c.width - 2) * (c.height - 2));
  EXPECT_EQ(countPixels(drawBuffer, c.colour, left + 1, top + 1, c.width - 2, c.height - 2),
            (c.width - 2) * (c.height - 2));
  EXPECT_NE(at(left, top + c.height / 2), c.colour);
  EXPECT_NE(at(left + 1, top), c.colour);
}

INSTANTIATE_TEST_SUITE_P(Pictures, DrawGameEnd,
                         ::testing::Values(EndCase{EndNone, kPlayfield, 0, 0},
                                           EndCase{EndGameOver, kGameOver, 201, 61},
                                           EndCase{EndSuperPlayer, kSuperPlayer, 180, 80},
                                           EndCase{9, kPlayfield, 0, 0}));

// --- Missing artwork --------------------------------------------------------------------------

TEST_F(DrawGameTest, MissingBitmapsAreSkipped) {
  ScopedGlobalBitmap noPlayfield{playfieldBmp, nullptr};
  ScopedGlobalBitmap noBlocks{blocksBmp, nullptr};
  ScopedGlobalBitmap noFlash{flashBmp, nullptr};
  ScopedGlobalBitmap noLeveln{levelnBmp, nullptr};
  ScopedGlobalBitmap noLevel{levelBmp, nullptr};
  ScopedGlobalBitmap noCombo{comboBmp, nullptr};
  ScopedGlobalBitmap noLife{lifeBmp, nullptr};
  ScopedGlobalBitmap noGameOver{gameoverBmp, nullptr};
  state.field[6][2] = 0;
  state.combo = 3;
  state.comboTimer = 10;
  state.score = 42;
  state.endPicture = EndGameOver;

  state.drawGame();
  EXPECT_EQ(countPixels(drawBuffer, distinctColour(201)), 320 * 240);

  ScopedGlobalBitmap noBuffer{drawBuffer, nullptr};
  state.drawGame();  // must simply return
}

}  // namespace
