// The one record of a running game: board, bin, cannon, score, level, clock and counters.
#pragma once
#include <cstdint>

enum GameMode : int16_t { Collect = 0, Score = 1, TimeAttack = 2 };
enum GamePhase : int16_t { Ready = 0, Playing = 1, GameOver = 2, LevelClear = 3 };
enum EndPicture : int16_t { EndNone = 0, EndGameOver = 1, EndSuperPlayer = 2 };

inline constexpr int kBoardRows = 7;
inline constexpr int kBoardColumns = 5;
inline constexpr int kBinRows = 4;
inline constexpr int kBinColumns = 5;
inline constexpr int kColors = 4;
inline constexpr int16_t kEmpty = -1;
inline constexpr int kSpeedLevels = 10;

inline constexpr int16_t kStartLives = 3;
inline constexpr int16_t kTicksPerSecond = 60;
inline constexpr int16_t kTimeAttackStartSeconds = 60;
inline constexpr int16_t kGameOverDelay = 80;
inline constexpr int16_t kBeamRest = 160;
inline constexpr int16_t kBeamFull = 255;
// Collect stops at its last level (SuperPlayer); Score and TimeAttack count on, but stop
// here so that level + 1 and the score arithmetic never leave their types.
inline constexpr int16_t kLastCollectLevel = 9;
inline constexpr int16_t kMaxLevel = 9998;

// Ticks between two row pushes, by level; levels from 10 on use the last entry.
extern const int16_t levelSpeed[kSpeedLevels];
int16_t levelSpeedFor(int level);

// 0 to n inclusive from rand(); the game asks for n = 3, a random colour.
int randomUpTo(int n);

struct GameState {
  int16_t secondTicks;
  int16_t secondsLeft;
  int16_t levelTime;
  int16_t gameOverDelay;
  uint32_t score;
  int16_t mode;
  int16_t comboTimer;
  uint8_t leaveGame;
  int16_t phase;
  int16_t beamActive;
  int16_t sequenceTicks;
  int16_t readyPicture;
  int16_t endPicture;
  int16_t level;
  int16_t levelProgress;
  int16_t column;
  int16_t lives;
  int16_t combo;
  int16_t color;
  int16_t pushCountdown;
  int16_t field[kBoardRows][kBoardColumns];
  int16_t bin[kBinRows][kBinColumns];
  int16_t fieldCopy[kBoardRows][kBoardColumns];
  int16_t combo5Given;
  int16_t combo10Given;
  int16_t leftRepeat;
  int16_t rightRepeat;
  int16_t colorDownRepeat;
  int16_t colorUpRepeat;
  int16_t fireRepeat;
  int16_t beamIntensity;

  void startGame();  // start values of a new game for the current mode, board cleared
  void clearBoard();
  bool pushRow();
  void collectBlock();
  void fillBoard();
  void resolveShot();
  void gameTick();
  void drawGame() const;

  // Shared by the shot and the tick.
  void addScore(uint32_t points);  // holds at the largest score instead of wrapping
  void raiseLevel();               // level + 1, held at kMaxLevel
  void loseGame();                 // the last life is gone: GameOver with its delay and fade
};

extern GameState gameState;

void runGame();
