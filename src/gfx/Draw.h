// Drawing helpers shared by the screens: translucent blit, shadowed text, glyph numbers.
#pragma once
#include <cstdint>

struct BITMAP;

// Mixes frame `frameIndex` of a strip of `frameWidth`-wide frames into `target` at (x, y) with
// strength factor/256, leaving magenta source pixels out. Both bitmaps must be memory bitmaps of
// the same depth, 16 (5-6-5) or 32 (8-8-8); anything else, or a null bitmap, draws nothing.
void blendBlit(BITMAP* source, BITMAP* target, int16_t frameWidth, int16_t frameIndex, int16_t x,
               int16_t y, int16_t factor);
void drawShadowText(BITMAP* bitmap, const char* text, int16_t x, int16_t y);
// The decimal digits of `value` as "leveln.bmp" glyphs into drawBuffer, 24 pixels apart.
void drawNumber(uint32_t value, int16_t x, int16_t y);

// masked_blit that draws nothing when a bitmap is missing or the two depths differ, since
// Allegro would read the source in the target's pixel format.
void maskedBlit(BITMAP* source, BITMAP* target, int sourceX, int sourceY, int x, int y, int width,
                int height);
