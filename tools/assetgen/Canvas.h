// Painting on 24-bit Allegro memory bitmaps: pixels, masks, gradients, bevels and a fixed-seed
// random.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "Palette.h"

struct BITMAP;

// A new 24-bit picture, every pixel transparent (magenta).
BITMAP* newPicture(int w, int h);

// Writes a pixel when it lies inside the bitmap. A colour that a 16-bit load would turn into the
// mask colour is nudged off it, so only true magenta is ever transparent in the game.
void put(BITMAP* bmp, int x, int y, Rgb c);
Rgb get(BITMAP* bmp, int x, int y);
bool isKey(BITMAP* bmp, int x, int y);
// Mixes c over the pixel already there with weight a (0..1); for opaque pictures only.
void blend(BITMAP* bmp, int x, int y, Rgb c, double a);
void fillRect(BITMAP* bmp, int x, int y, int w, int h, Rgb c);
void verticalGradient(BITMAP* bmp, int x, int y, int w, int h, const Gradient& g);
// A raised (or sunken) plate: face colour with light and dark edges `bevel` pixels wide.
void bevelPlate(BITMAP* bmp, int x, int y, int w, int h, Rgb face, int bevel, bool raised);

// A one-bit shape; reads outside it are empty.
struct Mask {
  int w = 0, h = 0;
  std::vector<uint8_t> bits;
  Mask() = default;
  Mask(int width, int height) : w(width), h(height), bits(static_cast<size_t>(width * height)) {}
  bool at(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && bits[y * w + x]; }
  void set(int x, int y, bool on = true) {
    if (x >= 0 && y >= 0 && x < w && y < h) bits[y * w + x] = on;
  }
};

// The pixels of a w x h area whose centre lies inside a shape given in pixel coordinates,
// tested at 4x4 points per pixel and kept when at least half of them are inside.
Mask shapeMask(int w, int h, const std::function<bool(double, double)>& inside);
// True when some pixel of m lies within `radius` (round pen) of (x, y).
bool nearMask(const Mask& m, int x, int y, int radius);
void paintMask(BITMAP* bmp, const Mask& m, int x, int y, Rgb c);

// Small deterministic generator so stars and speckles are the same on every run.
struct Lcg {
  uint32_t state;
  explicit Lcg(uint32_t seed) : state(seed) {}
  uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
  double unit() { return (next() & 0xFFFF) / 65535.0; }
};
