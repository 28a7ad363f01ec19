// masked_blit guarded against missing bitmaps and mixed depths.
#include <allegro.h>

#include "gfx/Draw.h"

void maskedBlit(BITMAP* source, BITMAP* target, int sourceX, int sourceY, int x, int y, int width,
                int height) {
  if (!source || !target) return;
  if (bitmap_color_depth(source) != bitmap_color_depth(target)) return;
  masked_blit(source, target, sourceX, sourceY, x, y, width, height);
}
