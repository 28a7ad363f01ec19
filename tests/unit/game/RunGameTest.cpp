// The game's screen loop: ticks until leaveGame or Esc, the finishing tick left pending, a
// quit request honoured, and a new game started on every run.
#include <allegro.h>
#include <gtest/gtest.h>

#include "GameTestSupport.h"
#include "game/GameScreen.h"
#include "game/GameState.h"
#include "scores/HighScoreTable.h"

namespace {

class RunGameTest : public GameTest {
 protected:
  RunGameTest() : savedTable_(highScoreTable) {}
  ~RunGameTest() override { highScoreTable = savedTable_; }

 private:
  HighScoreTable savedTable_;
};

TEST_F(RunGameTest, EscEndsTheGameAndItsTickStaysPending) {
  gameState.mode = Score;
  pendingTicks.store(5);
  key[KEY_ESC] = 1;
  runGame();
  EXPECT_EQ(pendingTicks.load(), 5);
  EXPECT_EQ(gameState.sequenceTicks, 1);  // exactly one tick ran
}

TEST_F(RunGameTest, RunStartsANewGameAndConsumesEveryPendingTick) {
  gameState.mode = TimeAttack;
  gameState.leaveGame = 1;  // left over from the previous game
  gameState.phase = GameOver;
  gameState.score = 99;
  pendingTicks.store(200);
  requestQuit();  // after the pending ticks, the loop leaves instead of drawing
  runGame();
  EXPECT_EQ(pendingTicks.load(), 0);
  EXPECT_EQ(gameState.phase, Playing);
  EXPECT_EQ(gameState.score, 0u);
  EXPECT_EQ(gameState.secondsLeft, 60);
  EXPECT_EQ(gameState.secondTicks, 40);  // 20 ticks of play after the 180 of the sequence
  EXPECT_EQ(gameState.leaveGame, 1);     // set by the interruption
}

TEST_F(RunGameTest, EscFinishesTheScreenInEveryPhaseWithoutOfferingTheScore) {
  for (int16_t phase : {Ready, Playing, LevelClear, GameOver}) {
    SCOPED_TRACE(phase);
    SimulatedDevices::releaseAll();
    highScoreTable.entries[Score][2].score = 0;
    GameState& g = playing(Score);
    g.phase = phase;
    g.gameOverDelay = 30;
    g.score = 1000;
    GameScreen screen;
    EXPECT_FALSE(screen.tick().has_value());
    key[KEY_ESC] = 1;
    EXPECT_TRUE(screen.tick().has_value());
    EXPECT_EQ(highScoreTable.entries[Score][2].score, 0u);
  }
}

TEST_F(RunGameTest, TheGamesOwnLeaveFinishesTheScreen) {
  GameState& g = playing(Score);
  GameScreen screen;
  EXPECT_FALSE(screen.tick().has_value());
  g.leaveGame = 1;
  EXPECT_TRUE(screen.tick().has_value());
}

TEST_F(RunGameTest, InterruptionLeavesTheGame) {
  playing(Collect);
  GameScreen screen;
  screen.interrupted();
  EXPECT_EQ(gameState.leaveGame, 1);
}

}  // namespace
