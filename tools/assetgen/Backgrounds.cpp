// The two full-screen backgrounds: the game's board and panel, and the night sky of the menus.
#include <allegro.h>

#include <cmath>

#include "Art.h"

namespace {
void stars(BITMAP* bmp, int x, int y, int w, int h, int count, int brightest, uint32_t seed) {
  Lcg rng(seed);
  for (int n = 0; n < count; ++n) {
    int sx = x + rng.below(w), sy = y + rng.below(h);
    double fade = 1.0 - 0.7 * (sy - y) / static_cast<double>(h);  // fewer toward the bottom
    double b = (0.25 + 0.75 * rng.unit()) * fade;
    Rgb tint = rng.below(3) == 0 ? Rgb{190, 210, 255} : Rgb{255, 240, 230};
    blend(bmp, sx, sy, tint, b * brightest / 255.0);
    if (b > 0.8 && rng.below(2) == 0)  // the brightest twinkle with a small cross
      for (int d : {-1, 1}) {
        blend(bmp, sx + d, sy, tint, b * 0.35);
        blend(bmp, sx, sy + d, tint, b * 0.35);
      }
  }
}

// A soft round cloud of colour, strongest at its centre.
void glowBlob(BITMAP* bmp, double cx, double cy, double rx, double ry, Rgb c, double strength) {
  for (int y = static_cast<int>(cy - ry); y <= cy + ry; ++y)
    for (int x = static_cast<int>(cx - rx); x <= cx + rx; ++x) {
      double u = (x - cx) / rx, v = (y - cy) / ry, d = u * u + v * v;
      if (d < 1) blend(bmp, x, y, c, strength * (1 - d) * (1 - d));
    }
}

// A one-pixel line with its weight shared between the two pixels it passes between.
void softVertical(BITMAP* bmp, double x, int y, Rgb c, double a) {
  int i = static_cast<int>(std::floor(x));
  double f = x - i;
  blend(bmp, i, y, c, a * (1 - f));
  blend(bmp, i + 1, y, c, a * f);
}

void boardWell(BITMAP* bmp) {
  verticalGradient(bmp, 0, 0, 160, 224, Gradient{{pal::kWellTop, pal::kWellBottom}, 2});
  for (int col = 1; col < 5; col += 2)  // alternate lanes a shade darker, to follow a column
    for (int y = 0; y < 224; ++y)
      for (int x = 32 * col; x < 32 * col + 32; ++x) put(bmp, x, y, shade(get(bmp, x, y), 0.82));
  glowBlob(bmp, 80, 40, 120, 70, Rgb{60, 30, 110}, 0.18);
  stars(bmp, 0, 0, 160, 224, 70, 120, 7);
  // Faint cell grid with brighter corner marks.
  for (int r = 0; r <= 7; ++r)
    for (int x = 0; x < 160; ++x) blend(bmp, x, 32 * r, Rgb{40, 56, 120}, 0.45);
  for (int c = 1; c < 5; ++c)
    for (int y = 0; y < 224; ++y) blend(bmp, 32 * c, y, Rgb{40, 56, 120}, 0.45);
  for (int r = 1; r < 7; ++r)
    for (int c = 1; c < 5; ++c)
      for (int d = -2; d <= 2; ++d) {
        blend(bmp, 32 * c + d, 32 * r, Rgb{110, 140, 230}, 0.6);
        blend(bmp, 32 * c, 32 * r + d, Rgb{110, 140, 230}, 0.6);
      }
  // The cannon lights the bottom of the well.
  for (int y = 160; y < 224; ++y)
    for (int x = 0; x < 160; ++x) blend(bmp, x, y, pal::kGridCyan, 0.1 * (y - 160) / 64.0);
}

void cannonRail(BITMAP* bmp) {
  verticalGradient(bmp, 0, 224, 160, 16,
                   Gradient{{pal::kSteelLight, pal::kSteel, pal::kSteelDark, {12, 14, 28}}, 4});
  for (int x = 0; x < 160; ++x) {
    put(bmp, x, 224, lighten(pal::kSteelLight, 0.3));
    put(bmp, x, 236, Rgb{8, 10, 20});
    put(bmp, x, 237, pal::kSteelLight);
    put(bmp, x, 238, pal::kSteel);
    put(bmp, x, 239, Rgb{8, 10, 20});
  }
  for (int c = 0; c < 5; ++c) {  // a bolt at each end of each column's stretch of rail
    for (int bx : {32 * c + 4, 32 * c + 27}) {
      put(bmp, bx, 229, lighten(pal::kSteelLight, 0.5));
      put(bmp, bx + 1, 229, pal::kSteelLight);
      put(bmp, bx, 230, pal::kSteelDark);
      put(bmp, bx + 1, 230, pal::kSteelDark);
    }
    for (int x = 32 * c + 13; x < 32 * c + 19; ++x) put(bmp, x, 231, shade(pal::kGridCyan, 0.6));
  }
}

// A raised steel plate with a sunken window at its right for a digit.
void panelPlate(BITMAP* bmp, int y, int h, bool window) {
  bevelPlate(bmp, 160, y, 160, h, pal::kSteel, 2, true);
  for (int j = y + 3; j < y + h - 3; ++j)  // brushed metal: faint horizontal streaks
    for (int x = 163; x < 317; ++x)
      if ((x * 7 + j * 13) % 11 == 0) blend(bmp, x, j, pal::kSteelLight, 0.25);
  if (window) {
    bevelPlate(bmp, 269, y + 2, 35, h - 4, pal::kScreen, 2, false);
    for (int j = y + 4; j < y + h - 4; j += 2)
      for (int x = 271; x < 302; ++x) blend(bmp, x, j, pal::kGridCyan, 0.05);
  }
  for (int bx : {164, 313})  // rivets
    for (int by : {y + 4, y + h - 6}) {
      put(bmp, bx, by, lighten(pal::kSteelLight, 0.4));
      put(bmp, bx + 1, by + 1, pal::kSteelDark);
    }
}

void binScreen(BITMAP* bmp) {
  verticalGradient(bmp, 160, 32, 160, 128, Gradient{{pal::kScreen, {12, 18, 46}}, 2});
  for (int y = 32; y < 160; y += 2)  // scanlines
    for (int x = 160; x < 320; ++x) put(bmp, x, y, shade(get(bmp, x, y), 0.82));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) {
      int x0 = 160 + 32 * c, y0 = 32 + 32 * r;
      for (int d = 0; d < 32; ++d) {
        blend(bmp, x0 + d, y0, Rgb{36, 52, 110}, 0.5);
        blend(bmp, x0, y0 + d, Rgb{36, 52, 110}, 0.5);
      }
      for (int d = 1; d < 4; ++d) {  // corner ticks of each bin cell
        blend(bmp, x0 + d, y0 + 1, pal::kGridCyan, 0.22);
        blend(bmp, x0 + 1, y0 + d, pal::kGridCyan, 0.22);
        blend(bmp, x0 + 31 - d, y0 + 30, pal::kGridCyan, 0.22);
        blend(bmp, x0 + 30, y0 + 31 - d, pal::kGridCyan, 0.22);
      }
    }
  glowBlob(bmp, 240, 96, 90, 70, Rgb{40, 90, 170}, 0.12);
  for (int x = 160; x < 320; ++x) put(bmp, x, 32, Rgb{4, 4, 12});  // shadow under the plate
  for (int y = 32; y < 160; ++y) put(bmp, 160, y, Rgb{4, 4, 12});
}
}  // namespace

BITMAP* makePlayfield() {
  BITMAP* bmp = newPicture(320, 240);
  boardWell(bmp);
  cannonRail(bmp);
  panelPlate(bmp, 0, 32, true);  // LEVEL
  binScreen(bmp);
  panelPlate(bmp, 160, 34, true);  // COMBO
  panelPlate(bmp, 194, 46, false);
  bevelPlate(bmp, 164, 195, 138, 34, pal::kSteelDark, 2, false);  // the tray the lives rest in
  for (int x = 306; x < 316; ++x)                                 // vent slots beside the tray
    for (int y = 198; y < 226; y += 4) put(bmp, x, y, Rgb{10, 12, 26});
  return bmp;
}

BITMAP* makeFrontBackground() {
  constexpr int kHorizon = 150;
  BITMAP* bmp = newPicture(320, 240);
  verticalGradient(bmp, 0, 0, 320, kHorizon,
                   Gradient{{pal::kSkyTop, pal::kSkyMid, pal::kSkyHorizon}, 3});
  glowBlob(bmp, 70, 60, 110, 45, Rgb{90, 40, 160}, 0.22);
  glowBlob(bmp, 250, 30, 90, 40, Rgb{30, 90, 170}, 0.18);
  glowBlob(bmp, 160, kHorizon, 220, 40, pal::kNeon, 0.35);
  stars(bmp, 0, 0, 320, kHorizon - 10, 170, 255, 2026);
  // Floor: a dark plain with a neon grid running to the horizon.
  verticalGradient(bmp, 0, kHorizon, 320, 240 - kHorizon, Gradient{{{26, 8, 46}, {8, 4, 22}}, 2});
  for (double z : {1.15, 1.4, 1.75, 2.2, 2.9, 3.9, 5.4, 8.0, 13.0}) {
    int y = kHorizon + static_cast<int>(std::lround(100.0 / z));
    double a = 0.25 + 0.45 * (y - kHorizon) / 90.0;
    for (int x = 0; x < 320; ++x) blend(bmp, x, y, pal::kNeon, a);
  }
  for (int k = -14; k <= 14; ++k)
    for (int y = kHorizon + 1; y < 240; ++y) {
      double depth = (y - kHorizon) / 90.0;
      softVertical(bmp, 160 + k * 44.0 * depth, y, pal::kGridCyan, 0.15 + 0.4 * depth);
    }
  for (int x = 0; x < 320; ++x) {  // the horizon line itself
    put(bmp, x, kHorizon, lighten(pal::kNeon, 0.5));
    blend(bmp, x, kHorizon - 1, pal::kNeon, 0.6);
    blend(bmp, x, kHorizon + 1, pal::kNeon, 0.5);
  }
  return bmp;
}
