// A number as a strip of "leveln.bmp" glyphs; each glyph overlaps the previous one by 8 pixels.
#include <charconv>

#include "gfx/Assets.h"
#include "gfx/Draw.h"

namespace {
constexpr int kGlyphSize = 32;
constexpr int kAdvance = 24;
constexpr int kZeroCell = 10;  // cells 0 to 8 are the digits 1 to 9, cell 9 is "10"
}  // namespace

void drawNumber(uint32_t value, int16_t x, int16_t y) {
  if (!levelnBmp || !drawBuffer) return;
  char digits[10] = {};  // every 32-bit value fits
  char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  int left = x;
  for (const char* c = digits; c < end; ++c, left += kAdvance) {
    int digit = *c - '0';
    int cell = digit == 0 ? kZeroCell : digit - 1;
    maskedBlit(levelnBmp, drawBuffer, kGlyphSize * cell, 0, left, y, kGlyphSize, kGlyphSize);
  }
}
