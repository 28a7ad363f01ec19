// Blocks, cannons, beams, the life icon, the page arrows and the title logo.
#include <allegro.h>

#include <cmath>

#include "Art.h"
#include "PixelFont.h"

namespace {
// Symbols that tell the colours apart without colour: circle, triangle, square, diamond.
// (u, v) run from -1 to 1 across the symbol's box; `grow` widens the shape for its rim.
bool insideSymbol(int color, double u, double v, double grow) {
  switch (color) {
    case 0:
      return u * u + v * v <= (0.92 + grow) * (0.92 + grow);
    case 1: {
      double top = -0.95 - grow * 1.6, bottom = 0.78 + grow;
      return v >= top && v <= bottom && std::fabs(u) <= (v - top) / (bottom - top) * (1.0 + grow);
    }
    case 2:
      return std::fabs(u) <= 0.74 + grow && std::fabs(v) <= 0.74 + grow;
    default:
      return std::fabs(u) + std::fabs(v) <= 1.08 + grow * 1.4;
  }
}

// Fraction of 4x4 sample points of pixel (px, py) inside the symbol centred at (cx, cy).
double symbolCoverage(int color, int px, int py, double cx, double cy, double radius, double grow) {
  int hits = 0;
  for (int sy = 0; sy < 4; ++sy)
    for (int sx = 0; sx < 4; ++sx) {
      double u = (px + (sx + 0.5) / 4 - cx) / radius, v = (py + (sy + 0.5) / 4 - cy) / radius;
      if (insideSymbol(color, u, v, grow)) ++hits;
    }
  return hits / 16.0;
}

// The symbol in a light tint of its colour with a dark rim, mixed over what is there.
void paintSymbol(BITMAP* bmp, int x, int y, int w, int h, int color, double cx, double cy,
                 double radius) {
  Rgb base = pal::kBlockColors[color];
  Rgb rim = shade(base, 0.3), fill = lighten(base, 0.78);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      double outer = symbolCoverage(color, i, j, cx, cy, radius, 0.28);
      if (outer <= 0) continue;
      double inner = symbolCoverage(color, i, j, cx, cy, radius, 0.0);
      Rgb below = get(bmp, x + i, y + j);
      Rgb c = mix(mix(below, rim, outer), fill, inner);
      put(bmp, x + i, y + j, c);
    }
}

// A turret pointing up: steel barrel with a coloured muzzle, coloured shoulders and body
// carrying the symbol, on a dark base. Rows 18 and below stay visible under a bottom-row
// block, so the body's colour and symbol sit there.
void paintCannon(BITMAP* bmp, int x, int y, int color) {
  Rgb base = pal::kBlockColors[color];
  Mask barrel = shapeMask(32, 32, [](double px, double py) {
    return (py < 3.5 && px >= 10.5 && px <= 21.5) || (py < 12 && px >= 12 && px <= 20);
  });
  Mask shoulder = shapeMask(32, 32, [](double px, double py) {
    if (py < 9 || py >= 16) return false;
    double half = 7.5 + (py - 9) * 1.3;
    return std::fabs(px - 16) <= half;
  });
  Mask body = shapeMask(32, 32, [](double px, double py) {
    if (py < 14 || py >= 28 || px < 1 || px > 31) return false;
    double dx = std::max(0.0, std::max(6 - px, px - 26)), dy = std::max(0.0, 19 - py);
    return dx * dx + dy * dy <= 25;  // rounded top corners
  });
  Mask all(32, 32);
  for (int j = 0; j < 32; ++j)
    for (int i = 0; i < 32; ++i)
      all.set(
          i, j,
          barrel.at(i, j) || shoulder.at(i, j) || body.at(i, j) || (j >= 27 && i >= 1 && i <= 30));
  for (int j = 0; j < 32; ++j)
    for (int i = 0; i < 32; ++i) {
      if (!all.at(i, j)) continue;
      bool rim = !all.at(i - 1, j) || !all.at(i + 1, j) || !all.at(i, j - 1) ||
                 (!all.at(i, j + 1) && j < 31);
      Rgb c = pal::kInk;
      if (!rim) {
        double across = (i + 0.5 - 16) / 15.0;  // -1 at the left edge, 1 at the right
        if (j >= 28) {                          // base plate with tread studs
          c = mix(pal::kSteelLight, pal::kSteelDark, (j - 28) / 3.0);
          if (j == 29 && i % 4 == 2) c = lighten(pal::kSteelLight, 0.45);
        } else if (body.at(i, j) || shoulder.at(i, j)) {
          double light = 1.05 - 0.35 * across - 0.3 * std::max(0.0, (j - 16) / 12.0);
          c = shade(base, light);
          if (!all.at(i, j - 2) || !all.at(i - 2, j)) c = lighten(base, 0.45);  // bevel light
          if (!all.at(i + 2, j) || (j == 26)) c = shade(base, 0.55);            // bevel dark
        } else {  // the barrel: a lit steel cylinder
          double curve = std::cos(across * 2.6);
          c = shade(pal::kSteelLight, 0.45 + 0.75 * curve);
          if (j < 3) c = shade(lighten(base, 0.25), 0.7 + 0.4 * curve);
          if (j == 7 || j == 8) c = shade(c, 0.6);                     // a reinforcing ring
          if (j >= 4 && (i == 15 || i == 16)) c = lighten(base, 0.6);  // the charge in the barrel
        }
      }
      put(bmp, x + i, y + j, c);
    }
  paintSymbol(bmp, x, y, 32, 26, color, 16.0, 20.5, 5.2);
}
}  // namespace

void paintBlock(BITMAP* bmp, int x, int y, int size, int color) {
  Rgb base = pal::kBlockColors[color];
  int bevel = std::max(2, size / 8);
  for (int j = 0; j < size; ++j)
    for (int i = 0; i < size; ++i) {
      int ex = std::min(i, size - 1 - i), ey = std::min(j, size - 1 - j);
      if (ex + ey < 2) continue;  // rounded corners stay transparent
      Rgb c;
      if (ex == 0 || ey == 0 || ex + ey == 2) {
        c = shade(base, 0.3);
      } else {
        int top = j - 1, left = i - 1, bottom = size - 2 - j, right = size - 2 - i;
        int d = std::min(std::min(top, left), std::min(bottom, right));
        if (d < bevel) {
          double edge = 1.0 - static_cast<double>(d) / bevel * 0.5;
          if (top == d && top <= right)
            c = lighten(base, 0.55 * edge);
          else if (left == d && left <= bottom)
            c = lighten(base, 0.3 * edge);
          else if (bottom == d)
            c = shade(base, 1.0 - 0.55 * edge);
          else
            c = shade(base, 1.0 - 0.4 * edge);
        } else {
          double t = static_cast<double>(j - bevel) / (size - 2 * bevel);
          c = mix(lighten(base, 0.12), shade(base, 0.8), t);
          // A soft gloss over the upper part of the face.
          double gx = (i - size * 0.42) / (size * 0.34), gy = (j - size * 0.3) / (size * 0.16);
          if (gx * gx + gy * gy < 1.0) c = lighten(c, 0.12 * (1.0 - gx * gx - gy * gy));
        }
      }
      put(bmp, x + i, y + j, c);
    }
  double centre = size / 2.0;
  paintSymbol(bmp, x, y, size, size, color, centre, centre, size * 0.24);
}

BITMAP* makeBlocks() {
  BITMAP* bmp = newPicture(64, 128);
  for (int color = 0; color < 4; ++color) {
    paintBlock(bmp, 0, 32 * color, 32, color);
    paintCannon(bmp, 32, 32 * color, color);
  }
  return bmp;
}

BITMAP* makeFlash() {
  constexpr int kHeight = 240, kBeamEnd = 214;  // the beam runs into the cannon's muzzle
  BITMAP* bmp = newPicture(160, kHeight);
  for (int frame = 0; frame < 5; ++frame) {
    bool shot = frame == 4;
    Rgb base = shot ? Rgb{150, 226, 255} : pal::kBlockColors[frame];
    for (int y = 0; y <= kBeamEnd; ++y) {
      double pulse = 0.5 + 0.5 * std::sin(y * 6.2832 / 24.0);
      // The shot flares out near the muzzle.
      double flare = shot && y > 180 ? (y - 180) * 0.12 : 0.0;
      for (int i = 0; i < 32; ++i) {
        double d = std::fabs(i - 15.5);
        Rgb c;
        if (!shot) {
          if (d <= 1.0)
            c = lighten(base, 0.5 + 0.25 * pulse);
          else if (d <= 3.0)
            c = mix(base, lighten(base, 0.3), pulse * 0.5);
          else if (d <= 5.0)
            c = mix(base, pal::kWellBottom, 0.55);
          else
            continue;
        } else {
          if (d <= 2.5 + flare * 0.5)
            c = pal::kWhite;
          else if (d <= 5.5 + flare)
            c = mix(pal::kWhite, base, (d - 2.5) / (3.0 + flare));
          else if (d <= 9.0 + flare)
            c = mix(base, Rgb{70, 120, 220}, (d - 5.5 - flare) / 3.5);
          else if (d <= 12.0 + flare && d < 16)
            c = mix(Rgb{60, 90, 190}, pal::kWellBottom, 0.4);
          else
            continue;
        }
        put(bmp, 32 * frame + i, y, c);
      }
    }
  }
  return bmp;
}

BITMAP* makeLife() {
  BITMAP* bmp = newPicture(32, 32);
  auto heart = [](double px, double py) {
    double x = (px - 16.0) / 12.5, y = -(py - 15.0) / 12.5;
    double a = x * x + y * y - 1;
    return a * a * a - x * x * y * y * y <= 0;
  };
  Mask shape = shapeMask(32, 32, heart);
  for (int j = 0; j < 32; ++j)
    for (int i = 0; i < 32; ++i) {
      if (!nearMask(shape, i, j, 1)) continue;
      if (!shape.at(i, j)) {
        put(bmp, i, j, pal::kInk);
        continue;
      }
      Rgb c = mix(Rgb{255, 96, 110}, Rgb{150, 14, 48}, j / 31.0);
      double gx = (i - 10.5) / 4.5, gy = (j - 9.5) / 3.2;  // gloss on the left lobe
      if (gx * gx + gy * gy < 1) c = lighten(c, 0.7 * (1 - gx * gx - gy * gy));
      if (!shape.at(i + 1, j + 1)) c = shade(c, 0.7);
      put(bmp, i, j, c);
    }
  return bmp;
}

BITMAP* makePageFlip() {
  BITMAP* bmp = newPicture(64, 32);
  TextStyle style = styles::gold();
  auto leftArrow = [](double px, double py) {
    double v = std::fabs(py - 13.0);
    return px >= 3 && px <= 21 && v <= (px - 3) * 0.62;
  };
  Mask left = shapeMask(24, 27, leftArrow);  // tip at the left, broad end at the right
  Mask right(24, 27);
  for (int j = 0; j < 27; ++j)
    for (int i = 0; i < 24; ++i) right.set(i, j, left.at(23 - i, j));
  drawStyled(bmp, left, 4, 2, style);
  drawStyled(bmp, right, 36, 2, style);
  return bmp;
}

BITMAP* makeLogo() {
  constexpr int kSx = 6, kSy = 8, kGap = 5, kSlant = 6;
  Mask upright = textMask("ZEPH", kSx, kSy, kGap);
  // A forward slant: each row shifts right the higher it stands.
  int slant = (upright.h - 1) / kSlant;
  Mask letters(upright.w + slant, upright.h);
  for (int j = 0; j < upright.h; ++j)
    for (int i = 0; i < upright.w; ++i)
      if (upright.at(i, j)) letters.set(i + (upright.h - 1 - j) / kSlant, j);
  TextStyle style{{{{255, 255, 255}, {120, 232, 255}, {64, 92, 230}, {255, 120, 224}}, 4},
                  pal::kInk,
                  2,
                  pal::kBlack,
                  0,
                  0.5,
                  pal::kNeon,
                  2};
  int lead = styleLead(style);
  int blockSize = 16, blockTop = lead + letters.h + lead + 3;
  BITMAP* bmp = newPicture(letters.w + 2 * lead, blockTop + blockSize);
  drawStyled(bmp, letters, lead, lead, style);
  // One small block of each colour under the letters, the game's own signature.
  int glyph = 5 * kSx;
  for (int k = 0; k < 4; ++k) {
    int centre = lead + k * (glyph + kGap) + glyph / 2;
    paintBlock(bmp, centre - blockSize / 2, blockTop, blockSize, k);
  }
  return bmp;
}
