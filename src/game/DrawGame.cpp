// Placeholder until the game screen lands.
#include "game/GameState.h"

void GameState::drawGame() const {}
