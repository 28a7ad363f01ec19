// blendBlit next to Allegro's draw_trans_sprite, on the same sprite, target and factor: the beam
// frame of the game screen and a logo-sized sprite, at 16 and 32 bits.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>

#include "gfx/Draw.h"

namespace {

void startAllegro() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  if (!started) std::abort();
}

int colour(int depth, int r, int g, int b) { return makecol_depth(depth, r, g, b); }

// The beam: five 32x240 frames; each a glowing column with magenta on both sides.
BITMAP* makeBeamStrip(int depth) {
  BITMAP* strip = create_bitmap_ex(depth, 160, 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 160; ++x) {
      int k = x % 32;
      bool lit = k >= 8 && k < 24;
      putpixel(
          strip, x, y,
          lit ? colour(depth, 40 * (x / 32), 255 - y, 128 + 4 * k) : colour(depth, 255, 0, 255));
    }
  return strip;
}

// A 157x90 logo: shapes with about a third of the pixels magenta.
BITMAP* makeLogo(int depth) {
  BITMAP* logo = create_bitmap_ex(depth, 157, 90);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 157; ++x) {
      bool hole = (x / 6 + y / 9) % 3 == 0;
      putpixel(logo, x, y,
               hole ? colour(depth, 255, 0, 255) : colour(depth, x + 90, y * 2, 200 - x));
    }
  return logo;
}

struct Scene {
  BITMAP* strip = nullptr;   // what blendBlit reads
  BITMAP* sprite = nullptr;  // the same pixels as one sprite for draw_trans_sprite
  BITMAP* target = nullptr;
  int frameWidth = 0;
  int frameIndex = 0;
  int x = 0;
  int y = 0;
  int factor = 0;
  int pixels = 0;

  ~Scene() {
    if (sprite != strip) destroy_bitmap(sprite);
    destroy_bitmap(strip);
    destroy_bitmap(target);
  }
};

enum class Case { Beam, Logo };

void makeScene(Scene& scene, Case which, int depth) {
  startAllegro();
  scene.target = create_bitmap_ex(depth, 320, 240);
  clear_to_color(scene.target, colour(depth, 20, 40, 80));
  if (which == Case::Beam) {
    // A shot: the flash frame at full strength in the middle column.
    scene.strip = makeBeamStrip(depth);
    scene.frameWidth = 32;
    scene.frameIndex = 4;
    scene.sprite = create_sub_bitmap(scene.strip, 128, 0, 32, 240);
    scene.x = 64;
    scene.factor = 245;
  } else {
    // The menu logo halfway through its pulse.
    scene.strip = makeLogo(depth);
    scene.sprite = scene.strip;
    scene.frameWidth = static_cast<int>(scene.strip->w);
    scene.x = 163;
    scene.y = 116;
    scene.factor = 150;
  }
  scene.pixels = scene.sprite->w * scene.sprite->h;
}

void runBlendBlit(benchmark::State& state, Case which, int depth) {
  Scene scene;
  makeScene(scene, which, depth);
  for (auto _ : state) {
    blendBlit(scene.strip, scene.target, static_cast<int16_t>(scene.frameWidth),
              static_cast<int16_t>(scene.frameIndex), static_cast<int16_t>(scene.x),
              static_cast<int16_t>(scene.y), static_cast<int16_t>(scene.factor));
    benchmark::DoNotOptimize(scene.target->line[scene.y][0]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * scene.pixels);
}

void runDrawTransSprite(benchmark::State& state, Case which, int depth) {
  Scene scene;
  makeScene(scene, which, depth);
  set_trans_blender(0, 0, 0, scene.factor);
  for (auto _ : state) {
    draw_trans_sprite(scene.target, scene.sprite, scene.x, scene.y);
    benchmark::DoNotOptimize(scene.target->line[scene.y][0]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * scene.pixels);
}

void blendBlit_beam16(benchmark::State& s) { runBlendBlit(s, Case::Beam, 16); }
void draw_trans_sprite_beam16(benchmark::State& s) { runDrawTransSprite(s, Case::Beam, 16); }
void blendBlit_logo16(benchmark::State& s) { runBlendBlit(s, Case::Logo, 16); }
void draw_trans_sprite_logo16(benchmark::State& s) { runDrawTransSprite(s, Case::Logo, 16); }
void blendBlit_beam32(benchmark::State& s) { runBlendBlit(s, Case::Beam, 32); }
void draw_trans_sprite_beam32(benchmark::State& s) { runDrawTransSprite(s, Case::Beam, 32); }
void blendBlit_logo32(benchmark::State& s) { runBlendBlit(s, Case::Logo, 32); }
void draw_trans_sprite_logo32(benchmark::State& s) { runDrawTransSprite(s, Case::Logo, 32); }

BENCHMARK(blendBlit_beam16);
BENCHMARK(draw_trans_sprite_beam16);
BENCHMARK(blendBlit_logo16);
BENCHMARK(draw_trans_sprite_logo16);
BENCHMARK(blendBlit_beam32);
BENCHMARK(draw_trans_sprite_beam32);
BENCHMARK(blendBlit_logo32);
BENCHMARK(draw_trans_sprite_logo32);

}  // namespace
