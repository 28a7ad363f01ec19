// Painting on 24-bit Allegro memory bitmaps.
#include "Canvas.h"

#include <allegro.h>

BITMAP* newPicture(int w, int h) {
  BITMAP* bmp = create_bitmap_ex(24, w, h);
  if (bmp) clear_to_color(bmp, makecol24(pal::kKey.r, pal::kKey.g, pal::kKey.b));
  return bmp;
}

void put(BITMAP* bmp, int x, int y, Rgb c) {
  if (x < 0 || y < 0 || x >= bmp->w || y >= bmp->h) return;
  bool key = c == pal::kKey;
  if (!key && c.r >= 248 && c.g < 4 && c.b >= 248) c.g = 8;
  putpixel(bmp, x, y, makecol24(c.r, c.g, c.b));
}

Rgb get(BITMAP* bmp, int x, int y) {
  int p = getpixel(bmp, x, y);
  return {getr24(p), getg24(p), getb24(p)};
}

bool isKey(BITMAP* bmp, int x, int y) { return get(bmp, x, y) == pal::kKey; }

void blend(BITMAP* bmp, int x, int y, Rgb c, double a) {
  if (x < 0 || y < 0 || x >= bmp->w || y >= bmp->h) return;
  put(bmp, x, y, mix(get(bmp, x, y), c, a));
}

void fillRect(BITMAP* bmp, int x, int y, int w, int h, Rgb c) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) put(bmp, i, j, c);
}

void verticalGradient(BITMAP* bmp, int x, int y, int w, int h, const Gradient& g) {
  for (int j = 0; j < h; ++j) {
    Rgb c = g.at(h > 1 ? static_cast<double>(j) / (h - 1) : 0.0);
    for (int i = 0; i < w; ++i) put(bmp, x + i, y + j, c);
  }
}

void bevelPlate(BITMAP* bmp, int x, int y, int w, int h, Rgb face, int bevel, bool raised) {
  Rgb light = lighten(face, 0.35), dark = shade(face, 0.5);
  if (!raised) std::swap(light, dark);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      int fromLeft = i, fromTop = j, fromRight = w - 1 - i, fromBottom = h - 1 - j;
      Rgb c = face;
      int nearLight = std::min(fromLeft, fromTop), nearDark = std::min(fromRight, fromBottom);
      if (nearLight < bevel && nearLight <= nearDark)
        c = mix(light, face, static_cast<double>(nearLight) / bevel * 0.5);
      else if (nearDark < bevel)
        c = mix(dark, face, static_cast<double>(nearDark) / bevel * 0.5);
      put(bmp, x + i, y + j, c);
    }
}

Mask shapeMask(int w, int h, const std::function<bool(double, double)>& inside) {
  Mask m(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
          if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0)) ++hits;
      m.set(x, y, hits >= 8);
    }
  return m;
}

bool nearMask(const Mask& m, int x, int y, int radius) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx)
      if (dx * dx + dy * dy <= radius * radius + radius / 2 && m.at(x + dx, y + dy)) return true;
  return false;
}

void paintMask(BITMAP* bmp, const Mask& m, int x, int y, Rgb c) {
  for (int j = 0; j < m.h; ++j)
    for (int i = 0; i < m.w; ++i)
      if (m.at(i, j)) put(bmp, x + i, y + j, c);
}
