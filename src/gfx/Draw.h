// Drawing helpers shared by the screens: translucent blit, shadowed text, glyph numbers.
#pragma once
#include <cstdint>

struct BITMAP;

void blendBlit(BITMAP* source, BITMAP* target, int16_t frameWidth, int16_t frameIndex, int16_t x,
               int16_t y, int16_t factor);
void drawShadowText(BITMAP* bitmap, const char* text, int16_t x, int16_t y);
void drawNumber(uint32_t value, int16_t x, int16_t y);
