// A shot up the cannon's column: the lowest block there is destroyed when its colour matches,
// else the player pays a life (or ten seconds in TimeAttack).
#include <algorithm>
#include <limits>

#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"
#include "game/GameState.h"

namespace {
constexpr int16_t kComboTicks = 60;
constexpr int16_t kFirstComboLife = 5;
constexpr int16_t kSecondComboLife = 10;
constexpr int16_t kScoreHitsPerLevel = 25;
constexpr int16_t kMissSeconds = 10;
constexpr Sfx kBlockSamples[kColors] = {SfxBlock01, SfxBlock02, SfxBlock03, SfxBlock04};
}  // namespace

void GameState::resolveShot() {
  if (column < 0 || column >= kBoardColumns) return;

  int row = kBoardRows - 1;
  while (row >= 0 && field[row][column] == kEmpty) --row;
  if (row < 0) {
    playSample(SfxLaser);
    return;
  }

  int16_t& block = field[row][column];
  if (block != color) {
    if (mode == TimeAttack) {
      playSample(SfxLaser);
      secondsLeft = static_cast<int16_t>(std::max(secondsLeft - kMissSeconds, 0));
      secondTicks = kTicksPerSecond;  // the clock ends the game in this same tick at 0
      return;
    }
    playSample(SfxDeath);
    lives = static_cast<int16_t>(lives - 1);
    combo = 0;
    if (lives <= 0) loseGame();
    return;
  }

  if (comboTimer <= 0) {
    combo = 1;
  } else {
    // TimeAttack never runs the combo timer down, so a long game could count past int16.
    if (combo < std::numeric_limits<int16_t>::max()) ++combo;
    if (combo == kFirstComboLife && !combo5Given && mode == Collect) {
      playSample(SfxCombo01);
      ++lives;
      combo5Given = 1;
    } else if (combo == kSecondComboLife && !combo10Given && mode == Collect) {
      playSample(SfxCombo02);
      ++lives;
      combo10Given = 1;
    }
  }
  comboTimer = kComboTicks;

  const int16_t hitColor = block;
  block = kEmpty;
  if (hitColor >= 0 && hitColor < kColors) playSample(kBlockSamples[hitColor]);

  switch (mode) {
    case Collect:
      collectBlock();
      break;
    case Score:
      addScore(static_cast<uint32_t>(level + 1) * static_cast<uint32_t>(combo));
      if (++levelProgress >= kScoreHitsPerLevel) {
        levelProgress = 0;
        playSample(SfxHighscore);
        raiseLevel();
        musicPlayer.playLevelMusic(level);
        pushCountdown = levelSpeedFor(level);
      }
      break;
    case TimeAttack:
      if (--levelProgress <= 0) {
        sequenceTicks = 0;
        phase = LevelClear;
        musicPlayer.stopMusic();
        playSample(SfxHighscore);
      }
      break;
    default:
      break;
  }
}
