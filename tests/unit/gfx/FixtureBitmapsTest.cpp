// The fixture colours that drawing tests rely on: all different, and exact in both depths.
#include <allegro.h>
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "support/FixtureBitmaps.h"

namespace {

TEST(FixtureBitmaps, DistinctColoursAreDistinctAndReadBackExactly) {
  BitmapPtr bitmap16 = makeSolidBitmap(1, 1, kBlack, 16);
  BitmapPtr bitmap32 = makeSolidBitmap(1, 1, kBlack, 32);
  std::set<std::tuple<int, int, int>> seen;
  for (int index = 0; index < 1680; ++index) {
    Rgb colour = distinctColour(index);
    ASSERT_TRUE(seen.emplace(colour.r, colour.g, colour.b).second) << index;
    ASSERT_NE(colour, kBlack);
    ASSERT_NE(colour, kWhite);
    ASSERT_NE(colour, kMagenta);
    putPixel(bitmap16.get(), 0, 0, colour);
    putPixel(bitmap32.get(), 0, 0, colour);
    ASSERT_EQ(pixelAt(bitmap16.get(), 0, 0), colour) << index;
    ASSERT_EQ(pixelAt(bitmap32.get(), 0, 0), colour) << index;
  }
}

TEST(FixtureBitmaps, CellSheetHasSolidCellsInsideMagentaBorders) {
  BitmapPtr sheet = makeCellSheet(3, 2, 5);
  ASSERT_EQ(sheet->w, 96);
  ASSERT_EQ(sheet->h, 64);
  EXPECT_EQ(countPixels(sheet.get(), sheetCellColour(5, 3, 2, 1), 65, 33, 30, 30), 30 * 30);
  EXPECT_EQ(pixelAt(sheet.get(), 64, 40), kMagenta);
  EXPECT_EQ(pixelAt(sheet.get(), 95, 40), kMagenta);
  EXPECT_EQ(countPixels(sheet.get(), kMagenta), 6 * (32 * 32 - 30 * 30));
}

}  // namespace
