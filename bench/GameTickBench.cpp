// Cost of one game tick in play, against the 16.7 ms that a 60 Hz tick may take.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "game/GameState.h"

namespace {

// A Score game in play at a fast level: a half-full board, a row push due, fire held down.
GameState gameInPlay() {
  std::srand(7);
  gameState = GameState{};
  gameState.mode = Score;
  gameState.startGame();
  gameState.phase = Playing;
  gameState.readyPicture = 3;
  gameState.level = 9;
  for (int push = 0; push < 4; ++push) gameState.pushRow();
  gameState.color = gameState.field[3][0];
  gameState.comboTimer = 30;
  gameState.combo = 3;
  gameState.pushCountdown = 1;
  return gameState;
}

// The heaviest tick: input read, a hit resolved, a row pushed, the flash started.
void BM_GameTickFiring(benchmark::State& state) {
  const GameState start = gameInPlay();
  key[KEY_SPACE] = 1;
  gameState.gameTick();
  if (gameState.score == 0 || gameState.field[0][0] == kEmpty)
    state.SkipWithError("the laid-out tick neither hit nor pushed");
  for (auto _ : state) {
    gameState = start;
    gameState.gameTick();
    benchmark::DoNotOptimize(gameState.score);
  }
  key[KEY_SPACE] = 0;
}
BENCHMARK(BM_GameTickFiring);

// Ticks one after another with fire held, as a stretch of play; the game is laid out again
// whenever it leaves play.
void BM_GameTickPlaying(benchmark::State& state) {
  const GameState start = gameInPlay();
  gameState = start;
  key[KEY_SPACE] = 1;
  key[KEY_RIGHT] = 1;
  for (auto _ : state) {
    gameState.gameTick();
    if (gameState.phase != Playing) gameState = start;
    benchmark::DoNotOptimize(gameState.column);
  }
  key[KEY_SPACE] = 0;
  key[KEY_RIGHT] = 0;
}
BENCHMARK(BM_GameTickPlaying);

}  // namespace
