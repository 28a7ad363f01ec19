// Placeholder operations until the game play lands.
#include "game/GameState.h"

const int16_t levelSpeed[kSpeedLevels] = {160, 135, 120, 100, 90, 80, 70, 60, 50, 45};
int16_t levelSpeedFor(int level) { return levelSpeed[level < kSpeedLevels ? level : kSpeedLevels - 1]; }
int randomUpTo(int n) { return 0 * n; }
GameState gameState;
void GameState::startGame() {}
void GameState::clearBoard() {}
bool GameState::pushRow() { return false; }
void GameState::collectBlock() {}
void GameState::fillBoard() {}
void GameState::resolveShot() {}
void GameState::gameTick() {}
void runGame() {}
