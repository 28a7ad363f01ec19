// Shadowed text: a white copy over a black one two pixels down and left, on a clear background.
#include <allegro.h>
#include <gtest/gtest.h>

#include "gfx/Draw.h"
#include "support/FixtureBitmaps.h"

namespace {

class DrawShadowText : public ::testing::TestWithParam<int> {};

TEST_P(DrawShadowText, VersionLineLiesWhereTheMenuPutsIt) {
  const int depth = GetParam();
  const char* text = "v1.1";
  const int width = text_length(font, text);
  const int height = text_height(font);

  // Where Allegro's font has ink for this text, drawn alone at (0, 0).
  BitmapPtr glyphs = makeSolidBitmap(width, height, kBlack, depth);
  textout_ex(glyphs.get(), font, text, 0, 0, makecol_depth(depth, 255, 255, 255), -1);
  auto ink = [&](int u, int v) {
    return u >= 0 && v >= 0 && u < width && v < height && pixelAt(glyphs.get(), u, v) == kWhite;
  };
  ASSERT_GT(countPixels(glyphs.get(), kWhite), 0);

  // An opaque text mode left over from elsewhere must not paint a background box.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  int previousMode = text_mode(makecol_depth(depth, 0, 0, 0));
#pragma GCC diagnostic pop
  Rgb background = distinctColour(700);
  BitmapPtr bitmap = makeSolidBitmap(320, 240, background, depth);
  drawShadowText(bitmap.get(), text, 285, 5);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  text_mode(previousMode);
#pragma GCC diagnostic pop

  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      Rgb expected = ink(x - 287, y - 3) ? kWhite : ink(x - 285, y - 5) ? kBlack : background;
      ASSERT_EQ(pixelAt(bitmap.get(), x, y), expected) << "at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawShadowText, ::testing::Values(16, 32));

TEST(DrawShadowTextGuard, NullBitmapOrTextIsHarmless) {
  BitmapPtr bitmap = makeSolidBitmap(32, 32, kMagenta);
  drawShadowText(nullptr, "v1.1", 0, 10);
  drawShadowText(bitmap.get(), nullptr, 0, 10);
  EXPECT_EQ(countPixels(bitmap.get(), kMagenta), 32 * 32);
}

}  // namespace
