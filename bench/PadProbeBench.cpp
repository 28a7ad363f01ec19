// What watching the pad's device node costs a tick: a stretch of play with nothing held, so
// that every tick reads input, with the watch off (as before hot-plug) and on, for a pad that
// is absent (a clock read a tick, a stat() a second) and one in use (a stat() every tick).
#include <allegro.h>
#include <benchmark/benchmark.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "app/PadHotplug.h"
#include "app/PadHotplugSeam.h"
#include "app/Settings.h"
#include "game/GameState.h"

namespace {

enum Pad { Absent, InUse };

// Stands in for install_joystick(): no driver is needed, only what it finds.
int findNoPad() {
  num_joysticks = 0;
  return 0;
}
int findOnePad() {
  num_joysticks = 1;
  return 0;
}

GameState gameInPlay() {
  std::srand(7);
  gameState = GameState{};
  gameState.mode = Score;
  gameState.startGame();
  gameState.phase = Playing;
  gameState.readyPicture = 3;
  return gameState;
}

void BM_PlayTick(benchmark::State& state) {
  const Pad pad = static_cast<Pad>(state.range(0));
  const bool watched = state.range(1) != 0;
  // A pad in use has a node that is there: /dev/null, a character device like the pad's.
  const PadSurroundings surroundings{
      {pad == InUse ? "/dev/null" : "/dev/input/js0", pad == InUse ? nullptr : "/dev/js0"},
      pad == InUse ? findOnePad : findNoPad,
      nullptr};
  setPadSurroundings(&surroundings);
  if (watched) {
    startGamepad();
  } else {
    surroundings.installJoystick();
    gamepadEnabled = num_joysticks > 0 ? 1 : 0;
  }
  if ((num_joysticks > 0) != (pad == InUse)) state.SkipWithError("the pad is not laid out");

  const GameState start = gameInPlay();
  for (auto _ : state) {
    gameState.gameTick();
    if (gameState.phase != Playing) gameState = start;
    benchmark::DoNotOptimize(gameState.column);
  }
  if (watched && (num_joysticks > 0) != (pad == InUse)) state.SkipWithError("the pad was lost");
  stopGamepad();
  setPadSurroundings(nullptr);
  num_joysticks = 0;
  gamepadEnabled = 0;
}
BENCHMARK(BM_PlayTick)
    ->ArgNames({"pad_in_use", "watched"})
    ->Args({Absent, 0})
    ->Args({Absent, 1})
    ->Args({InUse, 0})
    ->Args({InUse, 1});

// The look at the node itself.
void BM_NodeStat(benchmark::State& state) {
  const char* path = state.range(0) ? "/dev/null" : "/dev/input/js0";
  for (auto _ : state) {
    struct stat info {};
    benchmark::DoNotOptimize(stat(path, &info));
  }
}
BENCHMARK(BM_NodeStat)->ArgName("present")->Arg(0)->Arg(1);

// For scale: what Allegro's Linux driver already spends in every poll of an idle pad, a
// select() with no wait on its descriptor (here an empty pipe).
void BM_IdleDriverPoll(benchmark::State& state) {
  int ends[2];
  if (pipe(ends) != 0) {
    state.SkipWithError("no pipe");
    return;
  }
  for (auto _ : state) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(ends[0], &set);
    timeval none{};
    benchmark::DoNotOptimize(select(ends[0] + 1, &set, nullptr, nullptr, &none));
  }
  close(ends[0]);
  close(ends[1]);
}
BENCHMARK(BM_IdleDriverPoll);

}  // namespace
