// Every picture made of lettering: glyph strips, captions, menu rows and the big announcements.
#include <allegro.h>

#include <cmath>
#include <string>

#include "Art.h"
#include "PixelFont.h"

namespace {
constexpr int kCell = 32;
constexpr int kAdvance = 24;  // glyph strips advance 24 pixels, so glyphs keep within x 0..23
constexpr int kBodyTop = 4;   // top of a letter body inside a 32-pixel row
constexpr int kBig = 3;       // 15x21 letters
constexpr int kNarrow = 2;    // 10x21 letters for long captions

// The plain rows of a menu, a step darker than silver so the gold highlight stands out.
TextStyle slate() {
  TextStyle s = styles::silver();
  s.fill = Gradient{{{178, 188, 222}, {116, 128, 178}, {70, 80, 134}}, 3};
  return s;
}

int drawnWidth(const Mask& body, const TextStyle& s) {
  return styleLead(s) + body.w + styleTrail(s);
}

// Draws text in a 32-pixel row: left-aligned at x, or centred in [x, x + width) when width > 0.
void rowText(BITMAP* bmp, std::string_view text, int x, int row, int sx, const TextStyle& s,
             int width = 0) {
  Mask body = textMask(text, sx, kBig, sx);
  int left = width > 0 ? x + (width - drawnWidth(body, s)) / 2 : x;
  drawStyled(bmp, body, left + styleLead(s), row * kCell + kBodyTop, s);
}

// One glyph centred in the first `space` pixels of its strip cell.
void stripGlyph(BITMAP* bmp, std::string_view text, int cell, int row, const TextStyle& s,
                int space = kAdvance) {
  Mask body = textMask(text, kBig, kBig, kBig);
  int left = cell * kCell + std::max(0, (space - drawnWidth(body, s)) / 2);
  drawStyled(bmp, body, left + styleLead(s), row * kCell + kBodyTop, s);
}

// A picture exactly as big as one styled line of text.
BITMAP* captionPicture(std::string_view text, int sx, int sy, int gap, const TextStyle& s,
                       int height) {
  Mask body = textMask(text, sx, sy, gap);
  BITMAP* bmp = newPicture(drawnWidth(body, s), height);
  drawStyled(bmp, body, styleLead(s),
             (height - body.h - styleLead(s) - styleTrail(s)) / 2 + styleLead(s), s);
  return bmp;
}

// A panel caption, its letters on the same line as the digit drawn beside it.
BITMAP* panelCaption(std::string_view text) {
  Mask body = textMask(text, kBig, kBig, kBig);
  TextStyle s = styles::gold();
  BITMAP* bmp = newPicture(drawnWidth(body, s), kCell);
  drawStyled(bmp, body, styleLead(s), kBodyTop, s);
  return bmp;
}

// Four-pointed twinkle.
void sparkle(BITMAP* bmp, int cx, int cy, int arm, Rgb c) {
  for (int d = -arm; d <= arm; ++d) {
    int fade = std::abs(d);
    Rgb tone = mix(pal::kWhite, c, static_cast<double>(fade) / arm);
    put(bmp, cx + d, cy, tone);
    put(bmp, cx, cy + d, tone);
    if (fade <= arm / 3) {
      put(bmp, cx + d, cy + d, tone);
      put(bmp, cx + d, cy - d, tone);
    }
  }
}

// The gamepad state: a round lamp and its word.
void lampRow(BITMAP* bmp, int row, std::string_view word, Rgb lamp, bool lit, const TextStyle& s) {
  int cy = row * kCell + 15;
  Mask disc = shapeMask(
      16, 16, [](double x, double y) { return (x - 8) * (x - 8) + (y - 8) * (y - 8) <= 42; });
  for (int j = -1; j < 17; ++j)
    for (int i = -1; i < 17; ++i) {
      int px = 2 + i, py = cy - 8 + j;
      if (disc.at(i, j)) {
        double d = std::hypot(i + 0.5 - 6.0, j + 0.5 - 6.0) / 9.0;  // highlight up-left
        Rgb c = lit ? mix(lighten(lamp, 0.8), lamp, std::min(1.0, d))
                    : shade(lamp, 0.35 + 0.2 * (1 - d));
        put(bmp, px, py, c);
      } else if (nearMask(disc, i, j, 1)) {
        put(bmp, px, py, pal::kInk);
      }
    }
  rowText(bmp, word, 22, row, kNarrow, s);
}
}  // namespace

BITMAP* makeAlpha() {
  BITMAP* bmp = newPicture(27 * kCell, 2 * kCell);
  for (int k = 0; k < 27; ++k) {
    std::string glyph(1, k == 0 ? '.' : static_cast<char>('A' + k - 1));
    // The dot keeps to the left of its cell, close to the rank digit it follows.
    int space = k == 0 ? 0 : kAdvance;
    stripGlyph(bmp, glyph, k, 0, styles::gold(), space);
    stripGlyph(bmp, glyph, k, 1, styles::silver(), space);
  }
  return bmp;
}

BITMAP* makeLevelDigits() {
  BITMAP* bmp = newPicture(11 * kCell, kCell);
  for (int d = 1; d <= 9; ++d)
    stripGlyph(bmp, std::string(1, static_cast<char>('0' + d)), d - 1, 0, styles::electric());
  // The number 10 takes the whole 32-pixel cell, with a narrow one.
  stripGlyph(bmp, std::string{kNarrowOne, '0'}, 9, 0, styles::electric(), kCell);
  stripGlyph(bmp, "0", 10, 0, styles::electric());
  return bmp;
}

BITMAP* makeLevelCaption() { return panelCaption("LEVEL"); }

BITMAP* makeComboCaption() { return panelCaption("COMBO"); }

BITMAP* makeMenu() {
  constexpr int kHalf = 144;
  const char* items[] = {"COLLECT", "SCORE", "TIME ATTACK", "HIGH SCORES", "QUIT"};
  BITMAP* bmp = newPicture(2 * kHalf, 5 * kCell);
  for (int row = 0; row < 5; ++row) {
    rowText(bmp, items[row], 0, row, kNarrow, styles::gold());
    rowText(bmp, items[row], kHalf, row, kNarrow, slate());
  }
  return bmp;
}

BITMAP* makeLoader() {
  constexpr int kHalf = 144;
  BITMAP* bmp = newPicture(2 * kHalf, 3 * kCell);
  const char* rows[] = {"FULL SCREEN", "WINDOW"};
  for (int row = 0; row < 2; ++row) {
    rowText(bmp, rows[row], 0, row, kNarrow, styles::gold(), kHalf);
    rowText(bmp, rows[row], kHalf, row, kNarrow, slate(), kHalf);
  }
  rowText(bmp, "DISPLAY MODE", 0, 2, kBig, styles::gold(), 2 * kHalf);
  return bmp;
}

BITMAP* makeGamepad() {
  BITMAP* bmp = newPicture(96, 3 * kCell);
  rowText(bmp, "GAMEPAD", 0, 0, kNarrow, styles::silver());
  lampRow(bmp, 1, "ON", Rgb{70, 240, 90}, true, styles::lime());
  lampRow(bmp, 2, "OFF", Rgb{230, 50, 50}, false, styles::ash());
  return bmp;
}

BITMAP* makeHighScoreTitle() {
  constexpr int kWidth = 240;
  BITMAP* bmp = newPicture(kWidth, 2 * kCell);
  rowText(bmp, "NEW HIGH SCORE", 0, 0, kBig, styles::gold(), kWidth);
  // Left-aligned and short: the rank digit follows 91 pixels to the right.
  rowText(bmp, "RANK", 0, 1, kBig, styles::silver());
  return bmp;
}

BITMAP* makeCredit() { return captionPicture("(C) 2026 ZEPH TEAM", 2, 2, 2, styles::silver(), 24); }

BITMAP* makeReady() {
  TextStyle s = styles::gold();
  s.outlineWidth = 3;
  s.shadowOffset = 3;
  Mask body = textMask("READY?", 5, 6, 5);
  BITMAP* bmp = newPicture(drawnWidth(body, s), body.h + styleLead(s) + styleTrail(s));
  drawStyled(bmp, body, styleLead(s), styleLead(s), s);
  return bmp;
}

BITMAP* makeGo() {
  TextStyle s = styles::lime();
  s.outlineWidth = 3;
  s.shadowOffset = 3;
  s.glow = lighten(Rgb{70, 240, 90}, 0.3);
  s.glowWidth = 1;
  Mask body = textMask("GO!", 8, 8, 8);
  int margin = 10;  // room for the burst of sparkles around it
  BITMAP* bmp = newPicture(drawnWidth(body, s) + 2 * margin,
                           body.h + styleLead(s) + styleTrail(s) + 2 * margin);
  drawStyled(bmp, body, margin + styleLead(s), margin + styleLead(s), s);
  sparkle(bmp, 8, 10, 7, Rgb{150, 255, 140});
  sparkle(bmp, bmp->w - 12, bmp->h - 16, 6, Rgb{150, 255, 140});
  sparkle(bmp, bmp->w - 9, 12, 5, Rgb{255, 240, 140});
  return bmp;
}

BITMAP* makeGameOver() {
  constexpr int kW = 216, kH = 60;
  BITMAP* bmp = newPicture(kW, kH);
  // A dark banner with a neon rim and rounded corners.
  Mask plate = shapeMask(kW, kH, [](double x, double y) {
    double dx = std::max(0.0, std::max(8 - x, x - (kW - 8))),
           dy = std::max(0.0, std::max(8 - y, y - (kH - 8)));
    return dx * dx + dy * dy <= 64;
  });
  for (int j = 0; j < kH; ++j)
    for (int i = 0; i < kW; ++i) {
      if (!plate.at(i, j)) continue;
      bool rim =
          !plate.at(i - 1, j) || !plate.at(i + 1, j) || !plate.at(i, j - 1) || !plate.at(i, j + 1);
      Rgb c;
      if (rim)
        c = pal::kInk;
      else if (!(plate.at(i - 3, j) && plate.at(i + 3, j) && plate.at(i, j - 3) &&
                 plate.at(i, j + 3)))
        c = mix(Rgb{255, 90, 80}, Rgb{150, 20, 50}, static_cast<double>(j) / kH);
      else
        c = mix(Rgb{38, 10, 34}, Rgb{14, 4, 20}, static_cast<double>(j) / kH);
      put(bmp, i, j, c);
    }
  TextStyle s = styles::ember();
  Mask body = textMask("GAME OVER", kBig, 4, kBig);
  drawStyled(bmp, body, (kW - body.w) / 2, (kH - body.h) / 2 - 1, s);
  return bmp;
}

BITMAP* makeSuperPlayer() {
  TextStyle s = styles::gold();
  s.outlineWidth = 2;
  s.glow = pal::kNeon;
  s.glowWidth = 1;
  Mask body = textMask("SUPER PLAYER!", kBig, 4, kBig);
  int margin = 14;
  BITMAP* bmp =
      newPicture(drawnWidth(body, s) + 2 * margin, body.h + styleLead(s) + styleTrail(s) + 8);
  drawStyled(bmp, body, margin + styleLead(s), 4 + styleLead(s), s);
  sparkle(bmp, 7, 10, 6, Rgb{255, 230, 120});
  sparkle(bmp, bmp->w - 8, bmp->h - 12, 6, Rgb{255, 230, 120});
  sparkle(bmp, bmp->w - 6, 8, 4, Rgb{255, 160, 220});
  return bmp;
}
