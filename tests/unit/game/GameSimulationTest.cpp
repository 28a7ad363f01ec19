// Whole games played through the keyboard by scripted players that read the board: long games
// in every mode, games lost each way, and key mashing, with the game's rules checked every tick.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "GameTestSupport.h"
#include "game/GameState.h"
#include "support/SoundSpy.h"

namespace {

struct Target {
  int column = -1;
  int color = 0;
};

// Steps of the colour wheel from `from` to `to`, negative going down.
int colorSteps(int from, int to) {
  int up = (to - from + kColors) % kColors;
  return up <= kColors / 2 ? up : up - kColors;
}

int lowestRow(const GameState& g, int column) {
  for (int r = kBoardRows - 1; r >= 0; --r)
    if (g.field[r][column] != kEmpty) return r;
  return -1;
}

// A player who taps keys as fast as the repeat countdowns allow: each action is held in a
// tick where its countdown is 0 and let go otherwise, so that it acts every other tick.
class ScriptedPlayer {
 public:
  enum Aim { Good, Wrong, Idle };

  explicit ScriptedPlayer(Aim aim) : aim_(aim) {}

  void act(const GameState& g) {
    SimulatedDevices::releaseAll();
    if (aim_ == Idle || g.phase != Playing || g.beamActive) return;
    Target target = choose(g);
    if (target.column < 0) return;

    int column = g.column;
    int color = g.color;
    if (target.column < column && g.leftRepeat == 0) {
      key[KEY_LEFT] = 1;
      --column;
    } else if (target.column > column && g.rightRepeat == 0) {
      key[KEY_RIGHT] = 1;
      ++column;
    }
    int steps = colorSteps(color, target.color);
    if (steps > 0 && g.colorUpRepeat == 0) {
      key[KEY_UP] = 1;
      color = (color + 1) % kColors;
    } else if (steps < 0 && g.colorDownRepeat == 0) {
      key[KEY_DOWN] = 1;
      color = (color + kColors - 1) % kColors;
    }
    // Moves come before the shot in a tick, so fire as soon as this tick lines it up.
    if (column == target.column && color == target.color && g.fireRepeat == 0) {
      key[KEY_SPACE] = 1;
      ++shots;
    }
  }

  int shots = 0;

 private:
  // Ticks until the cannon lines up with a column in a colour, tapping every other tick.
  static int cost(const GameState& g, int column, int color) {
    int moves = std::abs(column - g.column);
    int turns = std::abs(colorSteps(g.color, color));
    int longest = moves > turns ? moves : turns;
    return longest == 0 ? 0 : 2 * longest - 1;
  }

  Target choose(const GameState& g) const {
    Target best;
    int bestValue = 0;
    for (int c = 0; c < kBoardColumns; ++c) {
      int row = lowestRow(g, c);
      if (row < 0) continue;
      int color = g.field[row][c];
      if (aim_ == Wrong) color = (color + 1) % kColors;
      // The lower a block, the sooner it blocks a push; the bottom row must be clear.
      int urgency = row == kBoardRows - 1 ? 40 : row == kBoardRows - 2 ? 8 : row;
      int value = urgency * 4 - cost(g, c, color);
      if (best.column < 0 || value > bestValue) {
        best = {c, color};
        bestValue = value;
      }
    }
    return best;
  }

  Aim aim_;
};

class GameSimulationTest : public GameTest {
 protected:
  // Plays from the start of a game until `done` or GameOver, checking the rules after every
  // tick; returns the number of ticks played.
  int play(GameMode mode, const std::function<void(const GameState&)>& player,
           const std::function<bool()>& done, int maxTicks,
           const std::function<void(const GameState&)>& afterTick = nullptr) {
    gameState.mode = mode;
    gameState.startGame();
    int t = 0;
    while (t < maxTicks && gameState.phase != GameOver && !done()) {
      player(gameState);
      const int16_t livesBefore = gameState.lives;
      if (gameState.phase == Playing) ++playingTicks;
      gameState.gameTick();
      ++t;
      if (afterTick) afterTick(gameState);
      expectInvariants(gameState);
      if (mode != TimeAttack) {
        EXPECT_GE(gameState.lives, 0);
        EXPECT_LE(gameState.lives, mode == Collect ? 5 : 3);
        EXPECT_GE(gameState.lives, livesBefore - 1);  // at most one life per tick
      }
      EXPECT_EQ(gameState.leaveGame, 0);
      if (HasFailure()) {
        ADD_FAILURE() << "after tick " << t << "\n" << boardText(gameState);
        break;
      }
    }
    return t;
  }

  int playingTicks = 0;  // ticks that ran the logic of play
};

TEST_F(GameSimulationTest, CollectPlayedToSuperPlayerAndOnPastIt) {
  ScriptedPlayer player(ScriptedPlayer::Good);
  std::vector<int> levelAfterLevelUp;
  std::vector<int> hitsPerLevel;
  int hits = 0;
  uint32_t score = 0;
  auto watch = [&](const GameState& g) {
    // A hit sets the combo timer to 60, and the same tick takes one off.
    if (g.beamIntensity == kBeamFull - 10 && g.comboTimer == 59) ++hits;
    if (g.score != score) {
      score = g.score;
      levelAfterLevelUp.push_back(g.level);
      hitsPerLevel.push_back(hits);
      hits = 0;
    }
  };
  play(
      Collect, [&](const GameState& g) { player.act(g); }, [] { return gameState.score >= 13; },
      40000, watch);
  EXPECT_NE(gameState.phase, GameOver);
  EXPECT_EQ(gameState.endPicture, EndSuperPlayer);
  EXPECT_EQ(levelAfterLevelUp, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9, 9}));
  // 20 hits fill the bin and the 21st finds it full.
  EXPECT_EQ(hitsPerLevel, std::vector<int>(13, 21));
}

TEST_F(GameSimulationTest, ScorePlayedPastLevelTwelve) {
  ScriptedPlayer player(ScriptedPlayer::Good);
  std::vector<int> pushIntervals;  // by level, as set by each level-up
  int16_t level = 0;
  auto watch = [&](const GameState& g) {
    if (g.level != level) {
      level = g.level;
      pushIntervals.push_back(g.pushCountdown + 1);  // the same tick's pace took one off
    }
  };
  play(
      Score, [&](const GameState& g) { player.act(g); }, [] { return gameState.level > 12; }, 60000,
      watch);
  EXPECT_NE(gameState.phase, GameOver);
  EXPECT_EQ(gameState.level, 13);
  EXPECT_EQ(pushIntervals,
            (std::vector<int>{135, 120, 100, 90, 80, 70, 60, 50, 45, 45, 45, 45, 45}));
  EXPECT_GE(gameState.score, 13u * 25u);
}

TEST_F(GameSimulationTest, TimeAttackPlayedThroughEightBoards) {
  ScriptedPlayer player(ScriptedPlayer::Good);
  std::vector<int> clocks;
  uint32_t expectedScore = 0;
  int16_t phaseBefore = Ready;
  play(
      TimeAttack,
      [&](const GameState& g) {
        if (g.phase == Playing && phaseBefore != Playing) clocks.push_back(g.secondsLeft);
        if (g.phase == LevelClear && phaseBefore == Playing)
          expectedScore += static_cast<uint32_t>(g.level + 1) * g.secondsLeft;
        phaseBefore = g.phase;
        player.act(g);
      },
      [] { return gameState.level >= 8; }, 40000);
  EXPECT_EQ(gameState.level, 8);
  EXPECT_EQ(clocks, (std::vector<int>{60, 50, 40, 30, 20, 10, 10, 10}));
  EXPECT_EQ(gameState.score, expectedScore);
  EXPECT_GT(gameState.score, 0u);
}

TEST_F(GameSimulationTest, CollectLostToRowsThatCannotBePushed) {
  SoundSpy spy;
  ScriptedPlayer player(ScriptedPlayer::Idle);
  play(
      Collect, [&](const GameState& g) { player.act(g); }, [] { return false; }, 5000);
  ASSERT_EQ(gameState.phase, GameOver);
  // Seven pushes fill the board; the eighth, ninth and tenth fail, one life each.
  EXPECT_EQ(playingTicks, 10 * 160);
  EXPECT_EQ(blocksOnBoard(gameState), 35);
  EXPECT_EQ(gameState.lives, 0);
  EXPECT_EQ(gameState.endPicture, EndGameOver);
  EXPECT_EQ(spy.playedSamples(),
            (std::vector<std::string>{"ready-go.wav", "Death.Wav", "Death.Wav", "Death.Wav"}));
}

TEST_F(GameSimulationTest, ScoreLostToWrongShots) {
  SoundSpy spy;
  ScriptedPlayer player(ScriptedPlayer::Wrong);
  play(
      Score, [&](const GameState& g) { player.act(g); }, [] { return false; }, 5000);
  ASSERT_EQ(gameState.phase, GameOver);
  EXPECT_EQ(player.shots, 3);
  EXPECT_EQ(gameState.score, 0u);
  EXPECT_EQ(blocksOnBoard(gameState), 5);  // the first row, untouched
  EXPECT_EQ(spy.playedSamples(),
            (std::vector<std::string>{"ready-go.wav", "Death.Wav", "Death.Wav", "Death.Wav"}));
}

TEST_F(GameSimulationTest, TimeAttackLostToTheClock) {
  ScriptedPlayer player(ScriptedPlayer::Idle);
  play(
      TimeAttack, [&](const GameState& g) { player.act(g); }, [] { return false; }, 5000);
  ASSERT_EQ(gameState.phase, GameOver);
  EXPECT_EQ(playingTicks, 60 * 60);
  EXPECT_EQ(gameState.secondsLeft, 0);
  EXPECT_EQ(blocksOnBoard(gameState), 30);
}

TEST_F(GameSimulationTest, TimeAttackLostToWrongShotsAgainstTheClock) {
  ScriptedPlayer player(ScriptedPlayer::Wrong);
  play(
      TimeAttack, [&](const GameState& g) { player.act(g); }, [] { return false; }, 5000);
  ASSERT_EQ(gameState.phase, GameOver);
  EXPECT_EQ(player.shots, 6);  // six misses of ten seconds empty a 60 second clock
  EXPECT_EQ(gameState.secondsLeft, 0);
  EXPECT_LT(playingTicks, 6 * 24);
}

TEST_F(GameSimulationTest, MashingKeysAndAnOddGamepadKeepTheRules) {
  struct Pad {
    const char* name;
    int buttons;
    bool enabled;
  };
  const Pad pads[] = {{"no pad", -1, false},
                      {"pad without buttons", 0, true},
                      {"pad switched off", 4, false},
                      {"pad on", 4, true}};
  const int keys[] = {KEY_LEFT,  KEY_RIGHT, KEY_UP,  KEY_DOWN, KEY_SPACE,
                      KEY_ENTER, KEY_J,     KEY_F10, KEY_M,    KEY_S};
  for (const Pad& pad : pads) {
    for (GameMode mode : {Collect, Score, TimeAttack}) {
      SCOPED_TRACE(testing::Message() << pad.name << ", mode " << mode);
      std::srand(77 + mode);
      auto masher = [&](const GameState&) {
        SimulatedDevices::releaseAll();
        if (pad.buttons >= 0) SimulatedDevices::plugPad(pad.buttons, pad.enabled);
        for (int k : keys) key[k] = std::rand() % 3 == 0;
        for (auto& axis : joy[0].stick[0].axis) {
          axis.d1 = std::rand() % 3 == 0 ? -1 : 0;
          axis.d2 = std::rand() % 3 == 0 ? -1 : 0;
        }
        for (auto& button : joy[0].button) button.b = std::rand() % 5 == 0;
      };
      playingTicks = 0;
      play(
          mode, masher, [] { return false; }, 4000);
      if (HasFailure()) return;
      EXPECT_GT(playingTicks, 0);
    }
  }
}

}  // namespace
