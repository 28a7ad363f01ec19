// Shared by the game tests: a fresh game record, boards written as text, the invariants.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

#include "app/Clock.h"
#include "app/QuitRequest.h"
#include "game/GameState.h"
#include "game/SimulatedDevices.h"

// Seven rows, top first; '0'..'3' a block of that colour, '.' an empty cell.
using BoardText = std::array<const char*, kBoardRows>;

inline void setBoard(GameState& game, const BoardText& rows) {
  for (int r = 0; r < kBoardRows; ++r)
    for (int c = 0; c < kBoardColumns; ++c)
      game.field[r][c] = rows[r][c] == '.' ? kEmpty : static_cast<int16_t>(rows[r][c] - '0');
}

inline std::string boardText(const GameState& game) {
  std::string text;
  for (int r = 0; r < kBoardRows; ++r) {
    for (int c = 0; c < kBoardColumns; ++c)
      text += game.field[r][c] == kEmpty ? '.' : static_cast<char>('0' + game.field[r][c]);
    text += '\n';
  }
  return text;
}

inline int blocksOnBoard(const GameState& game) {
  int blocks = 0;
  for (const auto& row : game.field)
    for (int16_t cell : row) blocks += cell != kEmpty;
  return blocks;
}

// The rules that hold after every tick, whatever the player does.
inline void expectInvariants(const GameState& game) {
  EXPECT_GE(game.column, 0);
  EXPECT_LE(game.column, kBoardColumns - 1);
  EXPECT_GE(game.color, 0);
  EXPECT_LE(game.color, kColors - 1);
  auto cellsValid = [](const auto& grid) {
    for (const auto& row : grid)
      for (int16_t cell : row)
        if (cell < kEmpty || cell >= kColors) return false;
    return true;
  };
  EXPECT_TRUE(cellsValid(game.field));
  EXPECT_TRUE(cellsValid(game.bin));
  EXPECT_TRUE(cellsValid(game.fieldCopy));
  if (game.mode == TimeAttack) {
    EXPECT_GE(game.secondsLeft, 0);
  }
  if (game.mode == Collect) {
    EXPECT_GE(game.level, 0);
    EXPECT_LE(game.level, kLastCollectLevel);
  }
  EXPECT_GE(game.beamIntensity, kBeamRest);
  EXPECT_LE(game.beamIntensity, kBeamFull);
}

// Every game test starts from a fresh record, a fixed random sequence and idle devices, and
// leaves the clock and the quit flag as it found them.
class GameTest : public ::testing::Test {
 protected:
  GameTest() {
    gameState = GameState{};
    std::srand(1234);
    pendingTicks.store(0);
    clearQuitRequest();
  }
  ~GameTest() override {
    pendingTicks.store(0);
    clearQuitRequest();
  }

  // A new game of the mode, past its ready sequence.
  static GameState& playing(GameMode mode) {
    gameState.mode = mode;
    gameState.startGame();
    gameState.phase = Playing;
    gameState.readyPicture = 3;
    return gameState;
  }

  static void ticks(int count) {
    for (int i = 0; i < count; ++i) gameState.gameTick();
  }

  SimulatedDevices devices;
};
