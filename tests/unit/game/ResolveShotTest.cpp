// One shot up the cannon's column: hits, misses, combos, scoring by mode, the Score level-up,
// the cleared TimeAttack board and the end of a game, with the samples and tracks they sound.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "GameTestSupport.h"
#include "audio/MusicPlayer.h"
#include "game/GameState.h"
#include "support/SoundSpy.h"

namespace {

using Samples = std::vector<std::string>;
using ResolveShotTest = GameTest;

// A board whose column 0 holds `count` blocks of `color`, lowest in row 6.
void stackColumnZero(GameState& g, int count, int16_t color) {
  g.clearBoard();
  for (int i = 0; i < count; ++i) g.field[kBoardRows - 1 - i][0] = color;
}

TEST_F(ResolveShotTest, EmptyColumnOnlySoundsTheLaser) {
  for (GameMode mode : {Collect, Score, TimeAttack}) {
    SCOPED_TRACE(mode);
    SoundSpy spy;
    GameState& g = playing(mode);
    setBoard(g, {"00.00", "11.11", ".....", ".....", ".....", ".....", "22.22"});
    g.column = 2;
    g.combo = 4;
    g.comboTimer = 30;
    g.score = 12;
    g.secondsLeft = 33;
    g.secondTicks = 17;
    GameState before = g;

    g.resolveShot();

    EXPECT_EQ(spy.playedSamples(), Samples{"Laser.wav"});
    EXPECT_EQ(boardText(g), boardText(before));
    EXPECT_EQ(g.combo, 4);
    EXPECT_EQ(g.comboTimer, 30);
    EXPECT_EQ(g.lives, before.lives);
    EXPECT_EQ(g.score, 12u);
    EXPECT_EQ(g.secondsLeft, 33);
    EXPECT_EQ(g.secondTicks, 17);
    EXPECT_EQ(g.phase, Playing);
  }
}

TEST_F(ResolveShotTest, OnlyTheLowestBlockOfTheColumnIsHit) {
  GameState& g = playing(Score);
  setBoard(g, {"..3..", "..3..", "..1..", ".....", ".....", ".....", "....."});
  g.column = 2;
  g.color = 1;
  g.resolveShot();  // passes the empty rows 6 to 3, stops at row 2
  EXPECT_EQ(boardText(g), "..3..\n..3..\n.....\n.....\n.....\n.....\n.....\n");
  EXPECT_EQ(g.score, 1u);
}

TEST_F(ResolveShotTest, EachColourSoundsItsBlockSample) {
  const char* expected[] = {"Block01.Wav", "Block02.Wav", "Block03.Wav", "Block04.Wav"};
  for (int16_t color = 0; color < kColors; ++color) {
    SCOPED_TRACE(color);
    SoundSpy spy;
    GameState& g = playing(Score);
    g.clearBoard();
    g.field[6][3] = color;
    g.column = 3;
    g.color = color;
    g.resolveShot();
    EXPECT_EQ(g.field[6][3], kEmpty);
    EXPECT_EQ(spy.playedSamples(), Samples{expected[color]});
  }
}

TEST_F(ResolveShotTest, ScoreModeChainsScoreComboTimesLevelPlusOne) {
  struct Case {
    int16_t level;
    uint32_t afterEachHit[3];
  };
  const Case cases[] = {
      {0, {1, 3, 6}},   // 1 + 2 + 3
      {2, {3, 9, 18}},  // 3 + 6 + 9
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    GameState& g = playing(Score);
    g.level = c.level;
    stackColumnZero(g, 3, 2);
    g.color = 2;
    for (int hit = 0; hit < 3; ++hit) {
      g.resolveShot();
      EXPECT_EQ(g.combo, hit + 1);
      EXPECT_EQ(g.comboTimer, 60);
      EXPECT_EQ(g.score, c.afterEachHit[hit]) << "hit " << hit + 1;
      g.comboTimer = 20;  // the next hit comes within the combo time
    }
  }
}

TEST_F(ResolveShotTest, HitWithTheComboTimerRunOutStartsANewChain) {
  GameState& g = playing(Score);
  stackColumnZero(g, 2, 0);
  g.combo = 7;
  g.comboTimer = 0;
  g.resolveShot();
  EXPECT_EQ(g.combo, 1);
  EXPECT_EQ(g.score, 1u);
  g.comboTimer = -3;  // never expected, but not a running combo either
  g.resolveShot();
  EXPECT_EQ(g.combo, 1);
}

TEST_F(ResolveShotTest, TwentyFifthScoreHitRaisesTheLevel) {
  struct Case {
    int16_t level;
    const char* track;
    int16_t speed;
  };
  const Case cases[] = {
      {0, "LV02.MP3", 135}, {6, "LV04.MP3", 60}, {9, "END.MP3", 45}, {14, "END.MP3", 45}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    SoundSpy spy;
    GameState& g = playing(Score);
    g.level = c.level;
    g.pushCountdown = 17;
    stackColumnZero(g, 2, 1);
    g.color = 1;
    g.levelProgress = 23;

    g.resolveShot();  // the 24th
    EXPECT_EQ(g.levelProgress, 24);
    EXPECT_EQ(g.level, c.level);
    EXPECT_EQ(g.pushCountdown, 17);
    spy.clear();

    g.resolveShot();  // the 25th
    EXPECT_EQ(g.levelProgress, 0);
    EXPECT_EQ(g.level, c.level + 1);
    EXPECT_EQ(g.pushCountdown, c.speed);
    EXPECT_EQ(spy.playedSamples(), (Samples{"Block02.Wav", "highscore.wav"}));
    EXPECT_EQ(spy.openedStreams(), Samples{c.track});
    // The fanfare sounds before the new track starts.
    auto calls = spy.calls();
    size_t fanfare = 0, open = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].file == "highscore.wav") fanfare = i;
      if (calls[i].call == "FSOUND_Stream_Open") open = i;
    }
    EXPECT_LT(fanfare, open);
  }
}

TEST_F(ResolveShotTest, ScoreLevelStopsAtItsCap) {
  GameState& g = playing(Score);
  g.level = kMaxLevel;
  stackColumnZero(g, 1, 3);
  g.color = 3;
  g.levelProgress = 24;
  g.resolveShot();
  EXPECT_EQ(g.level, kMaxLevel);
  EXPECT_EQ(g.levelProgress, 0);
  EXPECT_EQ(g.score, static_cast<uint32_t>(kMaxLevel) + 1);
}

TEST_F(ResolveShotTest, ComboLivesOnlyOncePerCollectGame) {
  struct Case {
    GameMode mode;
    int16_t livesAfterTenHits;
    Samples comboSamples;
  };
  const Case cases[] = {
      {Collect, 5, {"Combo01.Wav", "Combo02.Wav"}},
      {Score, 3, {}},
      {TimeAttack, 3, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    SoundSpy spy;
    GameState& g = playing(c.mode);
    g.levelProgress = 30;
    stackColumnZero(g, 7, 0);
    g.color = 0;
    Samples combos;
    for (int hit = 1; hit <= 10; ++hit) {
      if (hit == 8) {  // the column is refilled without breaking the chain
        stackColumnZero(g, 3, 0);
      }
      spy.clear();
      g.resolveShot();
      auto played = spy.playedSamples();
      for (size_t i = 0; i < played.size(); ++i)
        if (played[i].rfind("Combo", 0) == 0) {
          combos.push_back(played[i]);
          // ...and before the block's own sample.
          ASSERT_LT(i + 1, played.size());
          EXPECT_EQ(played[i + 1], "Block01.Wav");
        }
      if (c.mode == Collect && (hit == 5 || hit == 9)) {
        EXPECT_EQ(g.lives, 4) << "hit " << hit;
      }
    }
    EXPECT_EQ(g.combo, 10);
    EXPECT_EQ(g.lives, c.livesAfterTenHits);
    EXPECT_EQ(combos, c.comboSamples);

    // A second chain of ten in the same game gives nothing.
    g.comboTimer = 0;
    for (int hit = 1; hit <= 10; ++hit) {
      stackColumnZero(g, 1, 0);
      g.resolveShot();
    }
    EXPECT_EQ(g.combo, 10);
    EXPECT_EQ(g.lives, c.livesAfterTenHits);
  }
}

TEST_F(ResolveShotTest, SecondComboLifeWaitsForAChainOfTen) {
  // A chain of 5 gives the first life; a break before 10 leaves the second for later.
  GameState& g = playing(Collect);
  stackColumnZero(g, 7, 2);
  g.color = 2;
  for (int hit = 0; hit < 6; ++hit) g.resolveShot();
  EXPECT_EQ(g.lives, 4);
  g.comboTimer = 0;
  for (int hit = 0; hit < 10; ++hit) {
    stackColumnZero(g, 1, 2);
    g.resolveShot();
  }
  EXPECT_EQ(g.lives, 5);
  EXPECT_EQ(g.combo5Given, 1);
  EXPECT_EQ(g.combo10Given, 1);
}

TEST_F(ResolveShotTest, ComboCountStopsBeforeItWouldWrap) {
  GameState& g = playing(TimeAttack);  // no combo timer runs down here
  g.levelProgress = 30;
  g.combo = std::numeric_limits<int16_t>::max() - 1;
  g.comboTimer = 60;
  for (int hit = 0; hit < 3; ++hit) {
    stackColumnZero(g, 1, 0);
    g.resolveShot();
  }
  EXPECT_EQ(g.combo, std::numeric_limits<int16_t>::max());
}

TEST_F(ResolveShotTest, CollectHitGoesIntoTheBin) {
  GameState& g = playing(Collect);
  stackColumnZero(g, 2, 3);
  g.color = 3;
  g.resolveShot();
  g.resolveShot();
  EXPECT_EQ(g.bin[0][0], 3);
  EXPECT_EQ(g.bin[0][1], 3);
  EXPECT_EQ(g.bin[0][2], kEmpty);
  EXPECT_EQ(g.score, 0u);
}

TEST_F(ResolveShotTest, MissInCollectOrScoreCostsALife) {
  for (GameMode mode : {Collect, Score}) {
    SCOPED_TRACE(mode);
    SoundSpy spy;
    GameState& g = playing(mode);
    setBoard(g, {".....", ".....", ".....", ".....", ".....", ".2...", ".1..."});
    g.column = 1;
    g.color = 2;
    g.combo = 4;
    g.comboTimer = 40;
    g.score = 9;
    g.resolveShot();
    EXPECT_EQ(g.lives, 2);
    EXPECT_EQ(g.combo, 0);
    EXPECT_EQ(g.field[6][1], 1);
    EXPECT_EQ(g.field[5][1], 2);
    EXPECT_EQ(g.score, 9u);
    EXPECT_EQ(g.phase, Playing);
    EXPECT_EQ(spy.playedSamples(), Samples{"Death.Wav"});
  }
}

TEST_F(ResolveShotTest, MissWithTheLastLifeEndsTheGame) {
  struct Case {
    GameMode mode;
    int16_t endPictureBefore;
    int16_t endPictureAfter;
  };
  const Case cases[] = {
      {Collect, EndNone, EndGameOver},
      {Collect, EndSuperPlayer, EndSuperPlayer},
      {Score, EndNone, EndGameOver},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << c.endPictureBefore);
    SoundSpy spy;
    GameState& g = playing(c.mode);
    musicPlayer.playLevelMusic(0);
    stackColumnZero(g, 1, 0);
    g.color = 1;
    g.lives = 1;
    g.endPicture = c.endPictureBefore;
    spy.clear();
    g.resolveShot();
    EXPECT_EQ(spy.playedSamples(), Samples{"Death.Wav"});
    EXPECT_EQ(g.field[kBoardRows - 1][0], 0);  // a miss leaves the block
    EXPECT_EQ(g.lives, 0);
    EXPECT_EQ(g.phase, GameOver);
    EXPECT_EQ(g.gameOverDelay, 80);
    EXPECT_EQ(g.endPicture, c.endPictureAfter);
    EXPECT_EQ(musicPlayer.fading, 1);
    EXPECT_EQ(g.leaveGame, 0);
  }
}

TEST_F(ResolveShotTest, TimeAttackMissCostsTenSeconds) {
  struct Case {
    int16_t before;
    int16_t after;
  };
  for (Case c : {Case{60, 50}, Case{23, 13}, Case{10, 0}, Case{7, 0}}) {
    SCOPED_TRACE(c.before);
    SoundSpy spy;
    GameState& g = playing(TimeAttack);
    g.levelProgress = 30;
    stackColumnZero(g, 1, 0);
    g.color = 3;
    g.secondsLeft = c.before;
    g.secondTicks = 12;
    g.combo = 3;
    g.resolveShot();
    EXPECT_EQ(g.secondsLeft, c.after);
    EXPECT_EQ(g.secondTicks, 60);
    EXPECT_EQ(g.lives, 3);
    EXPECT_EQ(g.combo, 3);
    EXPECT_EQ(g.field[6][0], 0);
    EXPECT_EQ(g.phase, Playing);  // the clock ends it, later in the tick
    EXPECT_EQ(spy.playedSamples(), Samples{"Laser.wav"});
  }
}

TEST_F(ResolveShotTest, LastBlockOfATimeAttackBoardClearsTheLevel) {
  SoundSpy spy;
  GameState& g = playing(TimeAttack);
  musicPlayer.playLevelMusic(0);
  stackColumnZero(g, 2, 1);
  g.color = 1;
  g.levelProgress = 2;
  g.sequenceTicks = 180;
  g.score = 5;
  g.resolveShot();
  EXPECT_EQ(g.levelProgress, 1);
  EXPECT_EQ(g.phase, Playing);
  EXPECT_EQ(musicPlayer.playing, 1);
  spy.clear();

  g.resolveShot();
  EXPECT_EQ(g.levelProgress, 0);
  EXPECT_EQ(g.phase, LevelClear);
  EXPECT_EQ(g.sequenceTicks, 0);
  EXPECT_EQ(g.score, 5u);  // the bonus comes with the pause's end
  EXPECT_EQ(musicPlayer.playing, 0);
  EXPECT_EQ(spy.playedSamples(), (Samples{"Block02.Wav", "highscore.wav"}));
}

}  // namespace
