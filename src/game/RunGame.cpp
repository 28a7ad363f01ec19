// The loop of one game, from the ready sequence back to the main loop.
#include <allegro.h>

#include "app/ScreenLoop.h"
#include "game/GameScreen.h"
#include "game/GameState.h"

std::optional<GameScreen::Result> GameScreen::tick() {
  gameState.gameTick();
  if (gameState.leaveGame || key[KEY_ESC]) return Result{};
  return std::nullopt;
}

void GameScreen::draw() { gameState.drawGame(); }

GameScreen::Result GameScreen::interrupted() {
  gameState.leaveGame = 1;
  return Result{};
}

void runGame() {
  gameState.startGame();
  GameScreen screen;
  runScreen(screen);
}
