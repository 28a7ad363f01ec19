// One game frame: drawGame into drawBuffer plus presentFrame's 2x stretch into backBuffer, next
// to a plain memcpy of the same bytes (the 320x240 and the 640x480 16-bit frames).
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Display.h"
#include "game/GameState.h"
#include "gfx/Assets.h"

namespace {

constexpr int kDepth = 16;

int colour(int r, int g, int b) { return makecol_depth(kDepth, r, g, b); }

// A sheet of 32x32 cells, each a shaded colour inside a magenta border, like the real art.
BITMAP* makeSheet(int columns, int rows) {
  BITMAP* sheet = create_bitmap_ex(kDepth, 32 * columns, 32 * rows);
  clear_to_color(sheet, colour(255, 0, 255));
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column)
      for (int y = 2; y < 30; ++y)
        hline(sheet, 32 * column + 2, 32 * row + y, 32 * column + 29,
              colour(60 * column + 40, 50 * row + 30, 8 * y));
  return sheet;
}

BITMAP* makePicture(int width, int height) {
  BITMAP* picture = create_bitmap_ex(kDepth, width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      putpixel(picture, x, y, (x / 4 + y / 4) % 3 ? colour(x, 200, y) : colour(255, 0, 255));
  return picture;
}

BITMAP* makeBeam() {
  BITMAP* strip = create_bitmap_ex(kDepth, 160, 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 160; ++x)
      putpixel(
          strip, x, y,
          x % 32 >= 8 && x % 32 < 24 ? colour(40 * (x / 32), 255 - y, 200) : colour(255, 0, 255));
  return strip;
}

// The shared bitmaps and a game in full swing: a half-full board, a shot in flight, a combo.
struct Frame {
  GameState state{};

  Frame() {
    static const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
    if (!started) std::abort();
    drawBuffer = create_bitmap_ex(kDepth, 320, 240);
    backBuffer = create_bitmap_ex(kDepth, 640, 480);
    playfieldBmp = create_bitmap_ex(kDepth, 320, 240);
    for (int y = 0; y < 240; ++y) hline(playfieldBmp, 0, y, 319, colour(y, 40, 240 - y));
    blocksBmp = makeSheet(2, 4);
    flashBmp = makeBeam();
    levelnBmp = makeSheet(11, 1);
    levelBmp = makePicture(100, 32);
    comboBmp = makePicture(100, 32);
    lifeBmp = makeSheet(1, 1);

    for (int r = 0; r < kBoardRows; ++r)
      for (int n = 0; n < kBoardColumns; ++n)
        state.field[r][n] = static_cast<int16_t>(r < 4 || (r == 4 && n % 2) ? (r + n) % 4 : -1);
    state.mode = Score;
    state.readyPicture = 3;
    state.score = 123456;
    state.level = 3;
    state.lives = 3;
    state.combo = 4;
    state.comboTimer = 30;
    state.column = 2;
    state.color = 1;
    state.beamIntensity = 205;
  }

  ~Frame() {
    for (BITMAP** bitmap : {&drawBuffer, &backBuffer, &playfieldBmp, &blocksBmp, &flashBmp,
                            &levelnBmp, &levelBmp, &comboBmp, &lifeBmp}) {
      destroy_bitmap(*bitmap);
      *bitmap = nullptr;
    }
  }
};

void drawGame_presentFrame(benchmark::State& state) {
  Frame frame;
  for (auto _ : state) {
    frame.state.drawGame();
    presentFrame();
    benchmark::DoNotOptimize(backBuffer->line[479][639]);
    benchmark::ClobberMemory();
  }
}

void drawGame_only(benchmark::State& state) {
  Frame frame;
  for (auto _ : state) {
    frame.state.drawGame();
    benchmark::DoNotOptimize(drawBuffer->line[239][319]);
    benchmark::ClobberMemory();
  }
}

void presentFrame_only(benchmark::State& state) {
  Frame frame;
  frame.state.drawGame();
  for (auto _ : state) {
    presentFrame();
    benchmark::DoNotOptimize(backBuffer->line[479][639]);
    benchmark::ClobberMemory();
  }
}

void memcpy_frame(benchmark::State& state) {
  constexpr size_t kSmall = 320 * 240 * 2;
  constexpr size_t kLarge = 640 * 480 * 2;
  std::vector<unsigned char> smallFrom(kSmall, 1), smallTo(kSmall);
  std::vector<unsigned char> largeFrom(kLarge, 2), largeTo(kLarge);
  for (auto _ : state) {
    std::memcpy(smallTo.data(), smallFrom.data(), kSmall);
    std::memcpy(largeTo.data(), largeFrom.data(), kLarge);
    benchmark::DoNotOptimize(smallTo.data());
    benchmark::DoNotOptimize(largeTo.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(drawGame_presentFrame);
BENCHMARK(memcpy_frame);
BENCHMARK(drawGame_only);
BENCHMARK(presentFrame_only);

}  // namespace
