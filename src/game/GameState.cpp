// The game record's start values and the board rules outside a shot: row push, bin, TimeAttack
// board, clearing, and the level, score and game-over changes the shot and the tick share.
#include "game/GameState.h"

#include <cstdlib>
#include <limits>

#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"

const int16_t levelSpeed[kSpeedLevels] = {160, 135, 120, 100, 90, 80, 70, 60, 50, 45};

int16_t levelSpeedFor(int level) {
  if (level < 0) level = 0;
  return levelSpeed[level < kSpeedLevels ? level : kSpeedLevels - 1];
}

int randomUpTo(int n) {
  if (n <= 0) return 0;
  return std::rand() % (n + 1);
}

GameState gameState;

void GameState::startGame() {
  // leftRepeat, rightRepeat and gameOverDelay keep their values, as does the clock outside
  // TimeAttack: none of them is read before it is set again.
  if (mode == TimeAttack) {
    secondTicks = kTicksPerSecond;
    secondsLeft = kTimeAttackStartSeconds;
    levelTime = kTimeAttackStartSeconds;
  }
  score = 0;
  comboTimer = 0;
  leaveGame = 0;
  phase = Ready;
  beamActive = 0;
  sequenceTicks = 0;
  readyPicture = 0;
  endPicture = EndNone;
  level = 0;
  levelProgress = 0;
  column = 0;
  lives = kStartLives;
  combo = 0;
  color = 0;
  pushCountdown = levelSpeed[0];
  combo5Given = 0;
  combo10Given = 0;
  colorDownRepeat = 0;
  colorUpRepeat = 0;
  fireRepeat = 0;
  beamIntensity = kBeamRest;
  clearBoard();
}

void GameState::clearBoard() {
  for (auto& row : field)
    for (auto& cell : row) cell = kEmpty;
  for (auto& row : bin)
    for (auto& cell : row) cell = kEmpty;
  for (auto& row : fieldCopy)
    for (auto& cell : row) cell = kEmpty;
}

bool GameState::pushRow() {
  for (int16_t cell : field[kBoardRows - 1])
    if (cell != kEmpty) return false;
  for (int r = 0; r < kBoardRows; ++r)
    for (int c = 0; c < kBoardColumns; ++c) fieldCopy[r][c] = field[r][c];
  for (int c = 0; c < kBoardColumns; ++c) field[0][c] = static_cast<int16_t>(randomUpTo(3));
  for (int r = 1; r < kBoardRows; ++r)
    for (int c = 0; c < kBoardColumns; ++c) field[r][c] = fieldCopy[r - 1][c];
  return true;
}

void GameState::collectBlock() {
  for (auto& row : bin)
    for (auto& cell : row)
      if (cell == kEmpty) {
        cell = color;
        return;
      }

  // The bin was full: this hit completes the level instead of being stored.
  level = static_cast<int16_t>(level + 1);
  addScore(1);
  if (level > kLastCollectLevel) {
    level = kLastCollectLevel;
    endPicture = EndSuperPlayer;
  }
  pushCountdown = levelSpeedFor(level);
  musicPlayer.playLevelMusic(level);
  playSample(SfxLevelUp);
  clearBoard();
}

void GameState::fillBoard() {
  levelProgress = 0;
  for (int r = 0; r < kBoardRows - 1; ++r)
    for (int c = 0; c < kBoardColumns; ++c) {
      field[r][c] = static_cast<int16_t>(randomUpTo(3));
      ++levelProgress;
    }
}

void GameState::addScore(uint32_t points) {
  constexpr uint32_t kMaxScore = std::numeric_limits<uint32_t>::max();
  score = points > kMaxScore - score ? kMaxScore : score + points;
}

void GameState::raiseLevel() {
  if (level < kMaxLevel) level = static_cast<int16_t>(level + 1);
}

void GameState::loseGame() {
  phase = GameOver;
  gameOverDelay = kGameOverDelay;
  musicPlayer.beginMusicFadeOut();
  // A Collect player who reached SuperPlayer keeps that picture at the end.
  if (endPicture != EndSuperPlayer) endPicture = EndGameOver;
}
