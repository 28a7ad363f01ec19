// The game record's start values and the board rules: row push, bin and level-up, the
// TimeAttack board, clearing, and the level and score limits.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "GameTestSupport.h"
#include "audio/MusicPlayer.h"
#include "game/GameState.h"
#include "support/SoundSpy.h"

namespace {

using GameStateTest = GameTest;

constexpr int16_t kDirty = 0x0707;  // what every int16 holds after the record was scribbled on

TEST_F(GameStateTest, StartGiveStartValuesAndKeepsTheKeptFields) {
  for (GameMode mode : {Collect, Score, TimeAttack}) {
    SCOPED_TRACE(mode);
    std::memset(static_cast<void*>(&gameState), 0x07, sizeof gameState);
    gameState.mode = mode;
    gameState.startGame();
    const GameState& g = gameState;

    EXPECT_EQ(g.score, 0u);
    EXPECT_EQ(g.mode, mode);
    EXPECT_EQ(g.comboTimer, 0);
    EXPECT_EQ(g.leaveGame, 0);
    EXPECT_EQ(g.phase, Ready);
    EXPECT_EQ(g.beamActive, 0);
    EXPECT_EQ(g.sequenceTicks, 0);
    EXPECT_EQ(g.readyPicture, 0);
    EXPECT_EQ(g.endPicture, EndNone);
    EXPECT_EQ(g.level, 0);
    EXPECT_EQ(g.levelProgress, 0);
    EXPECT_EQ(g.column, 0);
    EXPECT_EQ(g.lives, 3);
    EXPECT_EQ(g.combo, 0);
    EXPECT_EQ(g.color, 0);
    EXPECT_EQ(g.pushCountdown, 160);
    EXPECT_EQ(g.combo5Given, 0);
    EXPECT_EQ(g.combo10Given, 0);
    EXPECT_EQ(g.colorDownRepeat, 0);
    EXPECT_EQ(g.colorUpRepeat, 0);
    EXPECT_EQ(g.fireRepeat, 0);
    EXPECT_EQ(g.beamIntensity, 160);
    EXPECT_EQ(blocksOnBoard(g), 0);
    for (int r = 0; r < kBoardRows; ++r)
      for (int c = 0; c < kBoardColumns; ++c) EXPECT_EQ(g.fieldCopy[r][c], kEmpty);
    for (int r = 0; r < kBinRows; ++r)
      for (int c = 0; c < kBinColumns; ++c) EXPECT_EQ(g.bin[r][c], kEmpty);

    EXPECT_EQ(g.leftRepeat, kDirty);
    EXPECT_EQ(g.rightRepeat, kDirty);
    EXPECT_EQ(g.gameOverDelay, kDirty);
    const int16_t clock = mode == TimeAttack ? 60 : kDirty;
    EXPECT_EQ(g.secondTicks, clock);
    EXPECT_EQ(g.secondsLeft, clock);
    EXPECT_EQ(g.levelTime, clock);
  }
}

TEST_F(GameStateTest, LevelSpeedByLevelAndPastTheTable) {
  const int16_t expected[] = {160, 135, 120, 100, 90, 80, 70, 60, 50, 45};
  for (int level = 0; level < kSpeedLevels; ++level) {
    EXPECT_EQ(levelSpeed[level], expected[level]) << level;
    EXPECT_EQ(levelSpeedFor(level), expected[level]) << level;
  }
  for (int level : {10, 11, 12, 1000, int{kMaxLevel}}) EXPECT_EQ(levelSpeedFor(level), 45) << level;
  EXPECT_EQ(levelSpeedFor(-1), 160);
}

TEST_F(GameStateTest, RandomColoursCoverZeroToThreeOnly) {
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    int value = randomUpTo(3);
    ASSERT_GE(value, 0);
    ASSERT_LE(value, 3);
    seen.insert(value);
  }
  EXPECT_EQ(seen.size(), 4u);
  EXPECT_EQ(randomUpTo(0), 0);
  EXPECT_EQ(randomUpTo(-1), 0);  // no division by zero
}

TEST_F(GameStateTest, ClearBoardEmptiesBoardBinAndCopy) {
  std::memset(static_cast<void*>(gameState.field), 0, sizeof gameState.field);
  std::memset(static_cast<void*>(gameState.bin), 0, sizeof gameState.bin);
  std::memset(static_cast<void*>(gameState.fieldCopy), 0, sizeof gameState.fieldCopy);
  gameState.clearBoard();
  for (const auto& row : gameState.field)
    for (int16_t cell : row) EXPECT_EQ(cell, kEmpty);
  for (const auto& row : gameState.bin)
    for (int16_t cell : row) EXPECT_EQ(cell, kEmpty);
  for (const auto& row : gameState.fieldCopy)
    for (int16_t cell : row) EXPECT_EQ(cell, kEmpty);
}

TEST_F(GameStateTest, PushOnEmptyBoardFillsRowZeroOnly) {
  gameState.clearBoard();
  ASSERT_TRUE(gameState.pushRow());
  for (int c = 0; c < kBoardColumns; ++c) {
    EXPECT_GE(gameState.field[0][c], 0);
    EXPECT_LE(gameState.field[0][c], 3);
  }
  EXPECT_EQ(blocksOnBoard(gameState), 5);
}

TEST_F(GameStateTest, PushMovesEveryColumnDownOneRowGapsIncluded) {
  gameState.clearBoard();
  const BoardText before = {"0.1..", ".....", "2...3", ".....", "..3..", "1....", "....."};
  setBoard(gameState, before);
  ASSERT_TRUE(gameState.pushRow());
  std::string after = boardText(gameState);
  EXPECT_EQ(after.substr(6), "0.1..\n.....\n2...3\n.....\n..3..\n1....\n") << after;
  // The copy holds the board as it was before the push.
  GameState original{};
  setBoard(original, before);
  EXPECT_EQ(std::memcmp(gameState.fieldCopy, original.field, sizeof original.field), 0);
}

TEST_F(GameStateTest, PushFailsWithAnyBlockInTheBottomRowAndChangesNothing) {
  for (int column = 0; column < kBoardColumns; ++column) {
    SCOPED_TRACE(column);
    gameState.clearBoard();
    setBoard(gameState, {"1....", ".2...", ".....", "...3.", ".....", ".....", "....."});
    gameState.field[6][column] = 0;
    gameState.fieldCopy[2][2] = 3;  // leftovers of an earlier push stay as they are
    GameState before = gameState;
    EXPECT_FALSE(gameState.pushRow());
    EXPECT_EQ(std::memcmp(&gameState, &before, sizeof before), 0);
  }
}

TEST_F(GameStateTest, BlockPushedInReachesBottomAfterSixPushesThenBlocks) {
  gameState.clearBoard();
  ASSERT_TRUE(gameState.pushRow());
  const int16_t first = gameState.field[0][2];
  for (int push = 1; push <= 6; ++push) {
    ASSERT_TRUE(gameState.pushRow()) << push;
    EXPECT_EQ(gameState.field[push][2], first) << push;
  }
  EXPECT_FALSE(gameState.pushRow());
  gameState.field[6][2] = kEmpty;  // not enough: the whole bottom row must be free
  EXPECT_FALSE(gameState.pushRow());
  for (int c = 0; c < kBoardColumns; ++c) gameState.field[6][c] = kEmpty;
  EXPECT_TRUE(gameState.pushRow());
}

TEST_F(GameStateTest, CollectFillsTheBinRowByRow) {
  GameState& g = playing(Collect);
  for (int hit = 0; hit < kBinRows * kBinColumns; ++hit) {
    g.color = static_cast<int16_t>(hit % kColors);
    g.collectBlock();
    EXPECT_EQ(g.bin[hit / kBinColumns][hit % kBinColumns], hit % kColors) << hit;
  }
  EXPECT_EQ(g.level, 0);
  EXPECT_EQ(g.score, 0u);
}

TEST_F(GameStateTest, FullBinRaisesTheLevelAndClearsEverything) {
  struct Case {
    int16_t level;
    int16_t newLevel;
    int16_t endPicture;
    const char* track;
  };
  const Case cases[] = {
      {0, 1, EndNone, "LV02.MP3"},
      {3, 4, EndNone, "LV05.MP3"},
      {8, 9, EndNone, "END.MP3"},
      {9, 9, EndSuperPlayer, "END.MP3"},  // from the tenth level-up on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    SoundSpy spy;
    GameState& g = playing(Collect);
    g.level = c.level;
    g.score = 7;
    g.pushCountdown = 3;
    for (auto& row : g.bin)
      for (auto& cell : row) cell = 2;
    setBoard(g, {"12301", "2....", ".....", ".....", ".....", ".....", "....."});
    g.fieldCopy[4][4] = 1;
    spy.clear();

    g.collectBlock();

    EXPECT_EQ(g.level, c.newLevel);
    EXPECT_EQ(g.score, 8u);
    EXPECT_EQ(g.endPicture, c.endPicture);
    EXPECT_EQ(g.pushCountdown, levelSpeed[c.newLevel]);
    EXPECT_EQ(blocksOnBoard(g), 0);
    EXPECT_EQ(g.bin[0][0], kEmpty);
    EXPECT_EQ(g.bin[3][4], kEmpty);
    EXPECT_EQ(g.fieldCopy[4][4], kEmpty);
    EXPECT_EQ(spy.openedStreams(), std::vector<std::string>{c.track});
    EXPECT_EQ(spy.playedSamples(), std::vector<std::string>{"LevelUp.wav"});
    EXPECT_EQ(musicPlayer.playing, 1);
  }
}

TEST_F(GameStateTest, SuperPlayerStaysForLaterLevelUps) {
  GameState& g = playing(Collect);
  g.level = 9;
  g.endPicture = EndSuperPlayer;
  for (int levelUp = 0; levelUp < 3; ++levelUp) {
    for (auto& row : g.bin)
      for (auto& cell : row) cell = 0;
    g.collectBlock();
  }
  EXPECT_EQ(g.level, 9);
  EXPECT_EQ(g.endPicture, EndSuperPlayer);
  EXPECT_EQ(g.score, 3u);
}

TEST_F(GameStateTest, TimeAttackBoardIsThirtyBlocksAboveAnEmptyBottomRow) {
  for (unsigned seed : {1u, 2u, 99u, 4242u}) {
    SCOPED_TRACE(seed);
    std::srand(seed);
    GameState& g = playing(TimeAttack);
    g.levelProgress = 3;
    g.fillBoard();
    EXPECT_EQ(g.levelProgress, 30);
    for (int r = 0; r < kBoardRows - 1; ++r)
      for (int c = 0; c < kBoardColumns; ++c) {
        EXPECT_GE(g.field[r][c], 0);
        EXPECT_LE(g.field[r][c], 3);
      }
    for (int c = 0; c < kBoardColumns; ++c) EXPECT_EQ(g.field[6][c], kEmpty);
  }
}

TEST_F(GameStateTest, ScoreAndLevelStopAtTheirLimits) {
  GameState& g = playing(Score);
  g.score = std::numeric_limits<uint32_t>::max() - 5;
  g.addScore(5);
  EXPECT_EQ(g.score, std::numeric_limits<uint32_t>::max());
  g.addScore(1000);
  EXPECT_EQ(g.score, std::numeric_limits<uint32_t>::max());

  g.level = kMaxLevel - 1;
  g.raiseLevel();
  EXPECT_EQ(g.level, kMaxLevel);
  g.raiseLevel();
  EXPECT_EQ(g.level, kMaxLevel);
}

}  // namespace
