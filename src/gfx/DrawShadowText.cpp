// A line of text in Allegro's font, white over a black shadow two pixels down and left.
#include <allegro.h>

#include "gfx/Draw.h"

void drawShadowText(BITMAP* bitmap, const char* text, int16_t x, int16_t y) {
  if (!bitmap || !text || !font) return;
  // The colours come from the bitmap itself, which stays 16-bit even under a 32-bit mode.
  int depth = bitmap_color_depth(bitmap);
  int black = makecol_depth(depth, 0, 0, 0);
  int white = makecol_depth(depth, 255, 255, 255);
  textout_ex(bitmap, font, text, x, y, black, -1);
  textout_ex(bitmap, font, text, x + 2, y - 2, white, -1);
}
