// The game's own bitmap font and its text styles.
#include "PixelFont.h"

#include <array>
#include <string>

namespace {
struct Glyph {
  char c;
  std::array<const char*, kGlyphRows> rows;
};

// Bold arcade letters on a 5x7 grid; narrow characters are narrower grids.
const Glyph kGlyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'J', {"....#", "....#", "....#", "....#", "#...#", "#...#", ".###."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'1', {".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {kNarrowOne, {".#", "##", ".#", ".#", ".#", ".#", ".#"}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'.', {"..", "..", "..", "..", "..", "##", "##"}},
    {'!', {"#", "#", "#", "#", "#", ".", "#"}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'(', {"..#", ".#.", "#..", "#..", "#..", ".#.", "..#"}},
    {')', {"#..", ".#.", "..#", "..#", "..#", ".#.", "#.."}},
    {':', {".", "#", ".", ".", ".", "#", "."}},
    {'-', {"...", "...", "...", "###", "...", "...", "..."}},
    {' ', {"..", "..", "..", "..", "..", "..", ".."}},
};

const Glyph* findGlyph(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

// Smoothing in the spirit of EPX: an empty cell between two set neighbours that meet at a
// corner gets a small triangle there, so diagonals and bowls look drawn rather than stepped at
// every scale. Outer corners stay square, which keeps D apart from O and B from 8.
constexpr double kCornerCut = 0.55;
}  // namespace

Mask glyphMask(char c, int sx, int sy) {
  const Glyph* g = findGlyph(c);
  if (!g) return Mask(0, 0);
  int cols = static_cast<int>(std::string(g->rows[0]).size());
  auto cell = [&](int col, int row) {
    return col >= 0 && row >= 0 && col < cols && row < kGlyphRows && g->rows[row][col] == '#';
  };
  Mask m(cols * sx, kGlyphRows * sy);
  for (int py = 0; py < m.h; ++py)
    for (int px = 0; px < m.w; ++px) {
      int col = px / sx, row = py / sy;
      double fx = (px % sx + 0.5) / sx, fy = (py % sy + 0.5) / sy;
      int hx = fx < 0.5 ? -1 : 1, vy = fy < 0.5 ? -1 : 1;  // the quadrant's corner
      double u = hx < 0 ? fx : 1 - fx, v = vy < 0 ? fy : 1 - fy;
      bool h = cell(col + hx, row), v2 = cell(col, row + vy);
      bool hOpp = cell(col - hx, row), vOpp = cell(col, row - vy);
      bool on = cell(col, row) || (h && v2 && !hOpp && !vOpp && u + v < kCornerCut);
      m.set(px, py, on);
    }
  return m;
}

Mask textMask(std::string_view text, int sx, int sy, int gap) {
  std::vector<Mask> parts;
  int width = 0;
  for (char c : text) {
    parts.push_back(glyphMask(c, sx, sy));
    width += parts.back().w;
  }
  if (!parts.empty()) width += gap * static_cast<int>(parts.size() - 1);
  Mask m(std::max(width, 0), kGlyphRows * sy);
  int x = 0;
  for (const Mask& p : parts) {
    for (int y = 0; y < p.h; ++y)
      for (int i = 0; i < p.w; ++i)
        if (p.at(i, y)) m.set(x + i, y);
    x += p.w + gap;
  }
  return m;
}

int styleLead(const TextStyle& s) { return s.outlineWidth + s.glowWidth; }
int styleTrail(const TextStyle& s) { return styleLead(s) + s.shadowOffset; }

void drawStyled(BITMAP* bmp, const Mask& body, int x, int y, const TextStyle& s) {
  int lead = styleLead(s);
  int ring = s.outlineWidth;
  // Shadow first, then glow, outline and body over it.
  for (int j = -lead; j < body.h + lead; ++j)
    for (int i = -lead; i < body.w + lead; ++i) {
      if (s.shadowOffset > 0 && nearMask(body, i, j, lead))
        put(bmp, x + i + s.shadowOffset, y + j + s.shadowOffset, s.shadow);
    }
  for (int j = -lead; j < body.h + lead; ++j)
    for (int i = -lead; i < body.w + lead; ++i) {
      if (body.at(i, j)) continue;
      if (ring > 0 && nearMask(body, i, j, ring))
        put(bmp, x + i, y + j, s.outline);
      else if (s.glowWidth > 0 && nearMask(body, i, j, lead))
        put(bmp, x + i, y + j, s.glow);
    }
  for (int j = 0; j < body.h; ++j) {
    Rgb row = s.fill.at(body.h > 1 ? static_cast<double>(j) / (body.h - 1) : 0.0);
    for (int i = 0; i < body.w; ++i) {
      if (!body.at(i, j)) continue;
      Rgb c = row;
      if (!body.at(i, j - 1) || !body.at(i - 1, j))
        c = lighten(c, s.bevel);
      else if (!body.at(i, j + 1) || !body.at(i + 1, j))
        c = shade(c, 1.0 - s.bevel * 0.8);
      put(bmp, x + i, y + j, c);
    }
  }
}

namespace styles {
TextStyle gold() {
  return {{{{255, 255, 214}, {255, 214, 64}, {255, 142, 24}, {214, 60, 26}}, 4},
          pal::kInk,
          2,
          pal::kBlack,
          2,
          0.45};
}
TextStyle silver() {
  return {
      {{{236, 242, 255}, {178, 196, 232}, {118, 138, 196}}, 3}, pal::kInk, 2, pal::kBlack, 1, 0.3};
}
TextStyle electric() {
  return {
      {{{240, 255, 255}, {96, 226, 255}, {40, 120, 236}}, 3}, pal::kInk, 2, pal::kBlack, 2, 0.45};
}
TextStyle ember() {
  return {
      {{{255, 236, 200}, {255, 110, 60}, {190, 20, 44}}, 3}, pal::kInk, 2, pal::kBlack, 2, 0.45};
}
TextStyle lime() {
  return {
      {{{236, 255, 214}, {110, 236, 90}, {24, 150, 60}}, 3}, pal::kInk, 2, pal::kBlack, 2, 0.45};
}
TextStyle ash() {
  return {
      {{{190, 190, 204}, {120, 120, 140}, {80, 80, 100}}, 3}, pal::kInk, 2, pal::kBlack, 1, 0.2};
}
}  // namespace styles
