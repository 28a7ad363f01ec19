// Numbers as "leveln.bmp" glyphs: which cell each digit takes, where it lands, and the overlap.
#include <allegro.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "gfx/Assets.h"
#include "gfx/Draw.h"
#include "support/FixtureBitmaps.h"

namespace {

constexpr int kLevelnFirstColour = 40;
Rgb glyphColour(int cell) { return sheetCellColour(kLevelnFirstColour, 11, cell, 0); }

struct NumberCase {
  uint32_t value;
  int x;
  int y;
  std::vector<int> cells;  // glyph i is expected at x + 24 i
};

std::ostream& operator<<(std::ostream& out, const NumberCase& c) { return out << c.value; }

class DrawNumber : public ::testing::TestWithParam<NumberCase> {
 protected:
  Rgb background = distinctColour(800);
  ScopedGlobalBitmap buffer{drawBuffer, makeSolidBitmap(320, 240, background)};
  ScopedGlobalBitmap leveln{levelnBmp, makeCellSheet(11, 1, kLevelnFirstColour)};
};

TEST_P(DrawNumber, DrawsOneGlyphPerDigit) {
  const NumberCase& c = GetParam();
  drawNumber(c.value, static_cast<int16_t>(c.x), static_cast<int16_t>(c.y));

  const int count = static_cast<int>(c.cells.size());
  const int middle = c.y + 16;
  for (int i = 0; i < count; ++i) {
    const int left = c.x + 24 * i;
    // Column 12 of each glyph is left of where the next one starts.
    if (left + 12 < 320) {
      EXPECT_EQ(pixelAt(drawBuffer, left + 12, middle), glyphColour(c.cells[i])) << "glyph " << i;
    }
    // The next glyph covers this one's last 8 columns, its own magenta border staying clear.
    if (i + 1 < count && left + 25 < 320) {
      EXPECT_EQ(pixelAt(drawBuffer, left + 25, middle), glyphColour(c.cells[i + 1]))
          << "overlap after glyph " << i;
    }
  }
  // The first glyph's border is masked, and nothing lies outside the strip of glyphs.
  EXPECT_EQ(pixelAt(drawBuffer, c.x, middle), background);
  const int right = c.x + 24 * (count - 1) + 32;
  const int stripWidth = std::min(right, 320) - c.x;
  int outside = 320 * 240 - stripWidth * 32;
  EXPECT_EQ(countPixels(drawBuffer, background) -
                countPixels(drawBuffer, background, c.x, c.y, stripWidth, 32),
            outside);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DrawNumber,
    ::testing::Values(NumberCase{1024, 184, 96, {0, 10, 1, 3}},  // high score viewer row
                      NumberCase{0, 176, 80, {10}}, NumberCase{105, 176, 80, {0, 10, 4}},
                      NumberCase{7, 208, 48, {6}}, NumberCase{120, 208, 112, {0, 1, 10}},
                      NumberCase{9999999, 176, 80, {8, 8, 8, 8, 8, 8, 8}},
                      // Every digit of the largest value, the later ones cut at the right edge.
                      NumberCase{4294967295u, 184, 96, {3, 1, 8, 3, 8, 5, 6, 1, 8, 4}}));

TEST(DrawNumberGuard, DrawsNothingWithoutGlyphsOrOfAnotherDepth) {
  ScopedGlobalBitmap buffer{drawBuffer, makeSolidBitmap(320, 240, kBlack)};
  {
    ScopedGlobalBitmap leveln{levelnBmp, nullptr};
    drawNumber(123, 0, 0);
  }
  {
    ScopedGlobalBitmap leveln{levelnBmp, makeCellSheet(11, 1, kLevelnFirstColour, 32)};
    drawNumber(123, 0, 0);
  }
  EXPECT_EQ(countPixels(drawBuffer, kBlack), 320 * 240);

  ScopedGlobalBitmap leveln{levelnBmp, makeCellSheet(11, 1, kLevelnFirstColour)};
  ScopedGlobalBitmap noBuffer{drawBuffer, nullptr};
  drawNumber(123, 0, 0);  // must simply return
}

}  // namespace
