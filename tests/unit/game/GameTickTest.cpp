// The game tick: the ready sequence, input with its repeat countdowns and the shot's flash,
// row pushes and the TimeAttack clock, the level-clear pause and the game-over wait.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "GameTestSupport.h"
#include "audio/MusicPlayer.h"
#include "game/GameState.h"
#include "scores/HighScoreTable.h"
#include "support/SoundSpy.h"

namespace {

using Samples = std::vector<std::string>;
using GameTickTest = GameTest;

constexpr int16_t kFiredBeam = kBeamFull - 10;  // the beam at the end of a firing tick

// Runs `count` ticks and returns the ticks (from 0) after which `value` differed from before.
std::vector<int> changesOver(int count, const std::function<int()>& value) {
  std::vector<int> changed;
  for (int t = 0; t < count; ++t) {
    int before = value();
    gameState.gameTick();
    if (value() != before) changed.push_back(t);
  }
  return changed;
}

std::vector<int> shotsOver(int count, const std::function<void(int)>& input = nullptr) {
  std::vector<int> shots;
  for (int t = 0; t < count; ++t) {
    if (input) input(t);
    gameState.gameTick();
    if (gameState.beamIntensity == kFiredBeam) shots.push_back(t);
  }
  return shots;
}

TEST_F(GameTickTest, ReadySequenceShowsPicturesThenStartsPlayAndTheTrack) {
  for (GameMode mode : {Collect, Score, TimeAttack}) {
    SCOPED_TRACE(mode);
    SoundSpy spy;
    gameState.mode = mode;
    gameState.startGame();
    for (int tick = 1; tick <= 180; ++tick) {
      spy.clear();
      gameState.gameTick();
      ASSERT_EQ(gameState.sequenceTicks, tick);
      const int16_t picture = tick < 60 ? 0 : tick < 120 ? 1 : tick < 180 ? 2 : 3;
      ASSERT_EQ(gameState.readyPicture, picture) << "tick " << tick;
      ASSERT_EQ(gameState.phase, tick < 180 ? Ready : Playing) << "tick " << tick;
      ASSERT_EQ(spy.playedSamples(), tick == 60 ? Samples{"ready-go.wav"} : Samples{})
          << "tick " << tick;
      ASSERT_EQ(spy.openedStreams(), tick == 180 ? Samples{"LV01.MP3"} : Samples{})
          << "tick " << tick;
      if (tick < 180) {
        ASSERT_EQ(blocksOnBoard(gameState), 0) << "tick " << tick;
      }
    }
    EXPECT_EQ(blocksOnBoard(gameState), mode == TimeAttack ? 30 : 0);
    EXPECT_EQ(gameState.levelProgress, mode == TimeAttack ? 30 : 0);
    EXPECT_EQ(musicPlayer.playing, 1);
    // Nothing of play has run yet.
    EXPECT_EQ(gameState.pushCountdown, 160);
    if (mode == TimeAttack) {
      EXPECT_EQ(gameState.secondsLeft, 60);
      EXPECT_EQ(gameState.secondTicks, 60);
    }
  }
}

TEST_F(GameTickTest, InputIsNotReadBeforePlay) {
  gameState.mode = Score;
  gameState.startGame();
  SimulatedDevices::hold({KEY_RIGHT, KEY_UP, KEY_SPACE});
  ticks(179);
  EXPECT_EQ(gameState.column, 0);
  EXPECT_EQ(gameState.color, 0);
  EXPECT_EQ(gameState.beamActive, 0);
  ticks(2);  // play begins at 180 and reads input from its first Playing tick
  EXPECT_EQ(gameState.column, 1);
  EXPECT_EQ(gameState.color, 1);
}

TEST_F(GameTickTest, MusicFadesOneStepPerTickAndTwoInGameOver) {
  struct Case {
    int16_t phase;
    int steps;
  };
  for (Case c : {Case{Ready, 1}, Case{Playing, 1}, Case{LevelClear, 1}, Case{GameOver, 2}}) {
    SCOPED_TRACE(c.phase);
    SoundSpy spy;
    GameState& g = playing(TimeAttack);
    g.phase = c.phase;
    g.gameOverDelay = 50;
    g.levelProgress = 30;
    musicPlayer.playLevelMusic(0);
    musicPlayer.beginMusicFadeOut();
    spy.clear();
    g.gameTick();
    int volumeChanges = 0;
    for (const auto& call : spy.calls()) volumeChanges += call.call == "FSOUND_SetVolume";
    EXPECT_EQ(volumeChanges, c.steps);
    EXPECT_EQ(musicPlayer.volume, 255 - 2 * c.steps);
  }
}

TEST_F(GameTickTest, HeldMovesAndColourChangesRepeat) {
  struct Case {
    const char* name;
    int key;
    int16_t startColumn;
    int16_t startColor;
    std::vector<int> changeTicks;
    std::vector<int> values;  // column or colour after each change
  };
  const Case cases[] = {
      {"right from column 0", KEY_RIGHT, 0, 0, {0, 10, 20, 30}, {1, 2, 3, 4}},
      {"left from column 4", KEY_LEFT, 4, 0, {0, 10, 20, 30}, {3, 2, 1, 0}},
      {"left at column 0", KEY_LEFT, 0, 0, {}, {}},
      {"right at column 4", KEY_RIGHT, 4, 0, {}, {}},
      {"up wraps from 3 to 0", KEY_UP, 0, 2, {0, 15, 30, 45}, {3, 0, 1, 2}},
      {"down wraps from 0 to 3", KEY_DOWN, 0, 1, {0, 15, 30, 45}, {0, 3, 2, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedDevices::releaseAll();
    GameState& g = playing(Score);
    g.column = c.startColumn;
    g.color = c.startColor;
    const bool isMove = c.key == KEY_LEFT || c.key == KEY_RIGHT;
    key[c.key] = 1;
    std::vector<int> values;
    auto watched = [&] { return isMove ? g.column : g.color; };
    std::vector<int> changes;
    for (int t = 0; t < 55; ++t) {
      int before = watched();
      g.gameTick();
      if (watched() != before) {
        changes.push_back(t);
        values.push_back(watched());
      }
    }
    EXPECT_EQ(changes, c.changeTicks);
    EXPECT_EQ(values, c.values);
  }
}

TEST_F(GameTickTest, MoveBlockedAtTheEdgeStartsNoCountdown) {
  GameState& g = playing(Score);
  SimulatedDevices::hold({KEY_LEFT});
  ticks(5);
  EXPECT_EQ(g.leftRepeat, 0);
  EXPECT_EQ(g.column, 0);
}

TEST_F(GameTickTest, ReleasedInputActsAgainAtOnce) {
  GameState& g = playing(Score);
  for (int t = 0; t < 8; ++t) {
    key[KEY_RIGHT] = t % 2 == 0;  // tapped every other tick
    key[KEY_UP] = t % 2 == 0;
    g.gameTick();
  }
  EXPECT_EQ(g.column, 4);
  EXPECT_EQ(g.color, 0);  // four steps up from 0
}

TEST_F(GameTickTest, HeldFireShootsEveryTwentyFourTicks) {
  playing(Score);
  SimulatedDevices::hold({KEY_SPACE});
  EXPECT_EQ(shotsOver(100), (std::vector<int>{0, 24, 48, 72, 96}));
}

TEST_F(GameTickTest, FlashFadesOverNineTicksAfterTheShot) {
  GameState& g = playing(Score);
  SimulatedDevices::hold({KEY_SPACE});
  std::vector<int> beam, active;
  for (int t = 0; t < 11; ++t) {
    g.gameTick();
    key[KEY_SPACE] = 0;
    beam.push_back(g.beamIntensity);
    active.push_back(g.beamActive);
  }
  EXPECT_EQ(beam, (std::vector<int>{245, 235, 225, 215, 205, 195, 185, 175, 165, 160, 160}));
  EXPECT_EQ(active, (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0}));
}

TEST_F(GameTickTest, InputDuringTheFlashIsIgnored) {
  GameState& g = playing(Score);
  SimulatedDevices::hold({KEY_SPACE});
  g.gameTick();
  key[KEY_SPACE] = 0;
  SimulatedDevices::hold({KEY_RIGHT, KEY_DOWN});
  for (int t = 1; t <= 9; ++t) {
    g.gameTick();
    ASSERT_EQ(g.column, 0) << "tick " << t;
    ASSERT_EQ(g.color, 0) << "tick " << t;
  }
  g.gameTick();
  EXPECT_EQ(g.column, 1);
  EXPECT_EQ(g.color, 3);
}

TEST_F(GameTickTest, FirePressedAgainShootsElevenTicksAfterAtTheEarliest) {
  struct Case {
    int pressTick;  // Space released after the first shot and held again from this tick
    int nextShot;
  };
  // A press made during the flash is still down when input is read again, so it counts as
  // held and waits out the countdown.
  for (Case c :
       {Case{1, 24}, Case{9, 24}, Case{10, 24}, Case{11, 11}, Case{12, 12}, Case{30, 30}}) {
    SCOPED_TRACE(c.pressTick);
    SimulatedDevices::releaseAll();
    playing(Score);
    auto shots = shotsOver(40, [&](int t) { key[KEY_SPACE] = t == 0 || t >= c.pressTick; });
    ASSERT_GE(shots.size(), 2u);
    EXPECT_EQ(shots[0], 0);
    EXPECT_EQ(shots[1], c.nextShot);
  }
}

TEST_F(GameTickTest, ShotInTheTickOfAMoveGoesUpTheNewColumnInTheNewColour) {
  GameState& g = playing(Score);
  setBoard(g, {".....", ".....", ".....", ".....", ".....", ".....", "01..."});
  SimulatedDevices::hold({KEY_RIGHT, KEY_UP, KEY_SPACE});
  g.gameTick();
  EXPECT_EQ(g.column, 1);
  EXPECT_EQ(g.color, 1);
  EXPECT_EQ(boardText(g).substr(36), "0....\n");
  EXPECT_EQ(g.score, 1u);
}

TEST_F(GameTickTest, EnterDoesNotFire) {
  GameState& g = playing(Score);
  SimulatedDevices::hold({KEY_ENTER});
  ticks(30);
  EXPECT_EQ(g.beamActive, 0);
  EXPECT_EQ(g.fireRepeat, 0);
}

TEST_F(GameTickTest, ComboContinuesOnlyWithinSixtyTicks) {
  struct Case {
    int secondShot;
    int16_t combo;
    uint32_t score;
  };
  for (Case c : {Case{11, 2, 3}, Case{59, 2, 3}, Case{60, 1, 2}, Case{90, 1, 2}}) {
    SCOPED_TRACE(c.secondShot);
    SimulatedDevices::releaseAll();
    GameState& g = playing(Score);
    setBoard(g, {".....", ".....", ".....", ".....", ".....", "0....", "0...."});
    g.pushCountdown = 1000;
    auto shots =
        shotsOver(c.secondShot + 1, [&](int t) { key[KEY_SPACE] = t == 0 || t == c.secondShot; });
    ASSERT_EQ(shots, (std::vector<int>{0, c.secondShot}));
    EXPECT_EQ(g.combo, c.combo);
    EXPECT_EQ(g.score, c.score);
  }
}

TEST_F(GameTickTest, ComboTimerRunsDownOnlyInCollectAndScore) {
  for (GameMode mode : {Collect, Score, TimeAttack}) {
    SCOPED_TRACE(mode);
    GameState& g = playing(mode);
    g.levelProgress = 30;
    g.comboTimer = 60;
    ticks(10);
    EXPECT_EQ(g.comboTimer, mode == TimeAttack ? 60 : 50);
    ticks(60);
    EXPECT_EQ(g.comboTimer, mode == TimeAttack ? 60 : 0);
  }
}

TEST_F(GameTickTest, RowsArePushedAtTheLevelsPace) {
  struct Case {
    GameMode mode;
    int16_t level;
    int interval;
  };
  const Case cases[] = {{Collect, 0, 160}, {Collect, 3, 100}, {Score, 9, 45}, {Score, 12, 45}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " level " << c.level);
    GameState& g = playing(c.mode);
    g.level = c.level;
    g.pushCountdown = levelSpeedFor(c.level);
    auto pushes = changesOver(3 * c.interval, [&] { return blocksOnBoard(g); });
    EXPECT_EQ(pushes, (std::vector<int>{c.interval - 1, 2 * c.interval - 1, 3 * c.interval - 1}));
    EXPECT_EQ(blocksOnBoard(g), 15);
    EXPECT_EQ(g.pushCountdown, c.interval);
  }
}

TEST_F(GameTickTest, TimeAttackPushesNoRows) {
  GameState& g = playing(TimeAttack);
  g.levelProgress = 30;
  ticks(400);
  EXPECT_EQ(blocksOnBoard(g), 0);
}

TEST_F(GameTickTest, FailedPushCostsALifeAndLeavesTheBoard) {
  SoundSpy spy;
  GameState& g = playing(Collect);
  g.level = 2;
  setBoard(g, {"12312", ".....", ".....", ".....", ".....", ".....", "..0.."});
  g.lives = 2;
  g.pushCountdown = 1;
  const std::string board = boardText(g);
  g.gameTick();
  EXPECT_EQ(g.lives, 1);
  EXPECT_EQ(boardText(g), board);
  EXPECT_EQ(g.pushCountdown, 120);
  EXPECT_EQ(g.phase, Playing);
  EXPECT_EQ(spy.playedSamples(), Samples{"Death.Wav"});

  // The next try comes a full interval later, and with the last life it ends the game.
  ticks(119);
  EXPECT_EQ(g.lives, 1);
  spy.clear();
  g.gameTick();
  EXPECT_EQ(g.lives, 0);
  EXPECT_EQ(g.phase, GameOver);
  EXPECT_EQ(g.gameOverDelay, 80);
  EXPECT_EQ(g.endPicture, EndGameOver);
  EXPECT_EQ(musicPlayer.fading, 1);
  EXPECT_EQ(spy.playedSamples(), Samples{"Death.Wav"});
  EXPECT_EQ(boardText(g), board);
}

TEST_F(GameTickTest, LostPushAfterSuperPlayerKeepsThatPicture) {
  GameState& g = playing(Collect);
  g.level = 9;
  g.endPicture = EndSuperPlayer;
  g.field[6][4] = 1;
  g.lives = 1;
  g.pushCountdown = 1;
  g.gameTick();
  EXPECT_EQ(g.phase, GameOver);
  EXPECT_EQ(g.endPicture, EndSuperPlayer);
}

TEST_F(GameTickTest, ShotThatEndsTheGameLeavesNoPushForThatTick) {
  // The last life goes to a wrong shot in the very tick a push into a full row is due:
  // one life and one death sound, not two.
  SoundSpy spy;
  GameState& g = playing(Score);
  setBoard(g, {".....", ".....", ".....", ".....", ".....", ".....", "3...."});
  g.lives = 1;
  g.pushCountdown = 1;
  SimulatedDevices::hold({KEY_SPACE});
  g.gameTick();
  EXPECT_EQ(g.phase, GameOver);
  EXPECT_EQ(g.lives, 0);
  EXPECT_EQ(spy.playedSamples(), Samples{"Death.Wav"});
}

TEST_F(GameTickTest, TimeAttackClockLosesASecondEverySixtyPlayingTicks) {
  GameState& g = playing(TimeAttack);
  g.levelProgress = 30;
  auto seconds = changesOver(180, [&] { return g.secondsLeft; });
  EXPECT_EQ(seconds, (std::vector<int>{59, 119, 179}));
  EXPECT_EQ(g.secondsLeft, 57);
  EXPECT_EQ(g.secondTicks, 60);
}

TEST_F(GameTickTest, TimeAttackEndsWhenTheClockRunsOut) {
  SoundSpy spy;
  GameState& g = playing(TimeAttack);
  g.levelProgress = 30;
  g.secondsLeft = 1;
  g.secondTicks = 2;
  g.gameTick();
  EXPECT_EQ(g.phase, Playing);
  EXPECT_TRUE(spy.playedSamples().empty());
  g.gameTick();
  EXPECT_EQ(g.secondsLeft, 0);
  EXPECT_EQ(g.phase, GameOver);
  EXPECT_EQ(g.gameOverDelay, 80);
  EXPECT_EQ(g.endPicture, EndGameOver);
  EXPECT_EQ(musicPlayer.fading, 1);
  EXPECT_EQ(spy.playedSamples(), Samples{"Death.Wav"});
  // The clock stands still from here on.
  ticks(200);
  EXPECT_EQ(g.secondsLeft, 0);
  EXPECT_EQ(g.secondTicks, 60);
}

TEST_F(GameTickTest, TimeAttackMissWithSevenSecondsLeftEndsTheGameInTheSameTick) {
  SoundSpy spy;
  GameState& g = playing(TimeAttack);
  g.fillBoard();
  g.color = static_cast<int16_t>((g.field[5][0] + 1) % kColors);
  g.secondsLeft = 7;
  g.secondTicks = 33;
  SimulatedDevices::hold({KEY_SPACE});
  g.gameTick();
  EXPECT_EQ(g.secondsLeft, 0);
  EXPECT_EQ(g.phase, GameOver);
  EXPECT_EQ(spy.playedSamples(), (Samples{"Laser.wav", "Death.Wav"}));
}

TEST_F(GameTickTest, BoardClearedOnTheClocksLastTickStillCounts) {
  GameState& g = playing(TimeAttack);
  g.field[6][0] = 2;
  g.color = 2;
  g.levelProgress = 1;
  g.secondsLeft = 1;
  g.secondTicks = 1;
  SimulatedDevices::hold({KEY_SPACE});
  g.gameTick();
  EXPECT_EQ(g.phase, LevelClear);
  EXPECT_EQ(g.secondsLeft, 1);
}

TEST_F(GameTickTest, LevelClearPauseAddsTheTimeBonus) {
  struct Case {
    int16_t level;
    int16_t secondsLeft;
    uint32_t bonus;
  };
  for (Case c : {Case{0, 23, 23}, Case{2, 23, 69}, Case{4, 0, 0}, Case{11, 9, 108}}) {
    SCOPED_TRACE(c.level);
    GameState& g = playing(TimeAttack);
    g.phase = LevelClear;
    g.sequenceTicks = 0;
    g.level = c.level;
    g.secondsLeft = c.secondsLeft;
    g.secondTicks = 5;
    g.score = 100;
    ticks(79);
    EXPECT_EQ(g.phase, LevelClear);
    EXPECT_EQ(g.score, 100u);
    EXPECT_EQ(g.secondsLeft, c.secondsLeft);  // no clock in the pause
    g.gameTick();
    EXPECT_EQ(g.score, 100u + c.bonus);
    EXPECT_EQ(g.level, c.level + 1);
    EXPECT_EQ(g.phase, Ready);
    EXPECT_EQ(g.sequenceTicks, 80);
    EXPECT_EQ(g.secondTicks, 60);
  }
}

TEST_F(GameTickTest, EachClearedLevelShortensTheClock) {
  GameState& g = playing(TimeAttack);
  std::vector<int> clocks{g.secondsLeft};
  for (int level = 0; level < 7; ++level) {
    g.phase = LevelClear;
    g.sequenceTicks = 0;
    ticks(80);
    clocks.push_back(g.secondsLeft);
    EXPECT_EQ(g.levelTime, g.secondsLeft);
  }
  EXPECT_EQ(clocks, (std::vector<int>{60, 50, 40, 30, 20, 10, 10, 10}));
}

TEST_F(GameTickTest, AfterALevelClearTheGoPictureLeadsToTheNextBoard) {
  SoundSpy spy;
  GameState& g = playing(TimeAttack);
  g.phase = LevelClear;
  g.sequenceTicks = 0;
  ticks(80);
  ASSERT_EQ(g.phase, Ready);
  spy.clear();
  std::vector<int> pictures;
  for (int tick = 81; tick <= 180; ++tick) {
    g.gameTick();
    if (pictures.empty() || pictures.back() != g.readyPicture) pictures.push_back(g.readyPicture);
    if (tick < 180) {
      ASSERT_EQ(g.phase, Ready) << tick;
    }
  }
  EXPECT_EQ(pictures, (std::vector<int>{3, 2, 3}));  // the game screen, "go.bmp", play
  EXPECT_EQ(g.phase, Playing);
  EXPECT_EQ(blocksOnBoard(g), 30);
  EXPECT_EQ(g.secondsLeft, 50);
  EXPECT_EQ(spy.playedSamples(), Samples{});  // no "ready-go.wav" this time
  EXPECT_EQ(spy.openedStreams(), Samples{"LV02.MP3"});
}

TEST_F(GameTickTest, EscWhilePlayingEndsTheTickAtOnce) {
  GameState& g = playing(TimeAttack);
  g.levelProgress = 30;
  SimulatedDevices::hold({KEY_SPACE, KEY_RIGHT, KEY_ESC});
  const int16_t secondTicks = g.secondTicks;
  g.gameTick();
  EXPECT_EQ(g.leaveGame, 1);
  EXPECT_EQ(g.column, 1);                 // the input steps before it have run
  EXPECT_EQ(g.beamIntensity, kBeamFull);  // the flash has not started fading
  EXPECT_EQ(g.secondTicks, secondTicks);  // and the clock has not run
}

TEST_F(GameTickTest, GamepadPlaysOnlyWhenSwitchedOnAndAfterItsPoll) {
  for (bool enabled : {true, false}) {
    SCOPED_TRACE(enabled);
    SimulatedDevices::releaseAll();
    SimulatedDevices::plugPad(2, enabled);
    GameState& g = playing(Score);
    setBoard(g, {".....", ".....", ".....", ".....", ".....", ".....", ".3..."});
    // The pad's state reaches joy[0] only through the poll of this tick.
    JOYSTICK_INFO device = joy[0];
    device.stick[0].axis[0].d2 = -1;  // right
    device.stick[0].axis[1].d2 = -1;  // down: colour 0 -> 3
    device.button[1].b = 1;
    SimulatedDevices::padOnNextPoll = device;
    SimulatedDevices::polls = 0;
    g.gameTick();
    EXPECT_EQ(SimulatedDevices::polls, enabled ? 1 : 0);
    EXPECT_EQ(g.column, enabled ? 1 : 0);
    EXPECT_EQ(g.color, enabled ? 3 : 0);
    EXPECT_EQ(g.field[6][1], enabled ? kEmpty : 3);
    // No poll while the flash is on: input is not read then.
    ticks(5);
    EXPECT_EQ(SimulatedDevices::polls, enabled ? 1 : 0);
    SimulatedDevices::padOnNextPoll.reset();
  }
}

class GameOverTest : public GameTest {
 protected:
  GameOverTest() : savedTable_(highScoreTable) {
    // The high score screens return at once: no ticks wait and a quit is asked for.
    requestQuit();
  }
  ~GameOverTest() override { highScoreTable = savedTable_; }

  // The table as the run holds it; no file yet, so a save at placement merges into nothing.
  static void setTable(int mode, uint32_t first, uint32_t second, uint32_t third) {
    std::remove(kHighScoreFile);
    highScoreTable.entries[mode][0].score = first;
    highScoreTable.entries[mode][1].score = second;
    highScoreTable.entries[mode][2].score = third;
  }

  static GameState& lost(GameMode mode, uint32_t score) {
    GameState& g = playing(mode);
    g.score = score;
    g.lives = 0;
    g.phase = GameOver;
    g.gameOverDelay = 80;
    return g;
  }

 private:
  HighScoreTable savedTable_;
};

TEST_F(GameOverTest, KeysWaitForTheDelayThenOpenTheHighScores) {
  SoundSpy spy;
  setTable(Score, 500, 300, 100);
  GameState& g = lost(Score, 400);
  SimulatedDevices::hold({KEY_ENTER});
  for (int tick = 1; tick <= 80; ++tick) {
    g.gameTick();
    ASSERT_EQ(g.leaveGame, 0) << tick;
  }
  EXPECT_EQ(g.gameOverDelay, 0);
  EXPECT_TRUE(spy.playedSamples().empty());
  g.gameTick();
  EXPECT_EQ(g.leaveGame, 1);
  EXPECT_EQ(highScoreTable.entries[Score][1].score, 400u);
  EXPECT_EQ(highScoreTable.entries[Score][2].score, 300u);
  // The initials entry opened first, then the viewer with its own track.
  EXPECT_EQ(spy.playedSamples(), (Samples{"highscore.wav", "hs-menu.wav"}));
  EXPECT_EQ(spy.openedStreams(), Samples{"LV02.MP3"});
}

TEST_F(GameOverTest, WithoutAContinueInputItWaits) {
  GameState& g = lost(Score, 10);
  g.gameOverDelay = 0;
  SimulatedDevices::hold({KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN, KEY_F10});
  SimulatedDevices::plugPad(4, false);
  joy[0].button[0].b = 1;  // the pad is switched off
  ticks(100);
  EXPECT_EQ(g.leaveGame, 0);
  EXPECT_EQ(g.score, 10u);
}

TEST_F(GameOverTest, EachContinueInputOffersTheScore) {
  struct Case {
    const char* name;
    std::function<void()> press;
  };
  const Case cases[] = {
      {"Esc", [] { key[KEY_ESC] = 1; }},
      {"Enter", [] { key[KEY_ENTER] = 1; }},
      {"Space", [] { key[KEY_SPACE] = 1; }},
      {"pad button",
       [] {
         SimulatedDevices::plugPad(4, true);
         joy[0].button[3].b = 1;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedDevices::releaseAll();
    setTable(TimeAttack, 0, 0, 0);
    GameState& g = lost(TimeAttack, 250);
    g.gameOverDelay = 0;
    c.press();
    g.gameTick();
    EXPECT_EQ(g.leaveGame, 1);
    EXPECT_EQ(highScoreTable.entries[TimeAttack][0].score, 250u);
  }
}

TEST_F(GameOverTest, CollectOffersFullBinsPlusOne) {
  struct Case {
    uint32_t fullBins;
    uint32_t offered;
  };
  for (Case c : {Case{0, 1}, Case{4, 5}}) {
    SCOPED_TRACE(c.fullBins);
    setTable(Collect, 0, 0, 0);
    GameState& g = lost(Collect, c.fullBins);
    g.gameOverDelay = 0;
    SimulatedDevices::hold({KEY_SPACE});
    g.gameTick();
    EXPECT_EQ(g.score, c.offered);
    EXPECT_EQ(highScoreTable.entries[Collect][0].score, c.offered);
  }
}

TEST_F(GameOverTest, ScoreThatTakesNoPlaceStillShowsTheViewer) {
  SoundSpy spy;
  setTable(Score, 500, 300, 100);
  GameState& g = lost(Score, 100);
  g.gameOverDelay = 0;
  SimulatedDevices::hold({KEY_ENTER});
  g.gameTick();
  EXPECT_EQ(g.leaveGame, 1);
  EXPECT_EQ(highScoreTable.entries[Score][2].score, 100u);
  EXPECT_EQ(spy.playedSamples(), Samples{"hs-menu.wav"});
}

TEST_F(GameTickTest, EveryKeyAndPadInputAtOnceKeepsTheRules) {
  for (GameMode mode : {Collect, Score, TimeAttack}) {
    SCOPED_TRACE(mode);
    SimulatedDevices::releaseAll();
    gameState = GameState{};
    gameState.mode = mode;
    gameState.startGame();
    for (int k = 0; k < KEY_MAX; ++k) key[k] = k != KEY_ESC;
    SimulatedDevices::plugPad(MAX_JOYSTICK_BUTTONS, true);
    for (auto& stick : joy[0].stick)
      for (auto& axis : stick.axis) axis.d1 = axis.d2 = -1;
    for (auto& button : joy[0].button) button.b = 1;
    int shots = 0;
    for (int t = 0; t < 3000 && gameState.phase != GameOver; ++t) {
      gameState.gameTick();
      shots += gameState.beamIntensity == kFiredBeam;
      expectInvariants(gameState);
      if (HasFailure()) return;
    }
    // Played to its end by the rules: the held fire button shot, and the game ended the way
    // its mode ends, not stuck before play where no input is read.
    EXPECT_GT(shots, 0);
    EXPECT_EQ(gameState.phase, GameOver);
    if (mode == TimeAttack) {
      EXPECT_EQ(gameState.secondsLeft, 0);
    } else {
      EXPECT_EQ(gameState.lives, 0);
    }
  }
}

}  // namespace
