// Placeholder drawing helpers until they land.
#include "gfx/Draw.h"

void blendBlit(BITMAP*, BITMAP*, int16_t, int16_t, int16_t, int16_t, int16_t) {}
void drawShadowText(BITMAP*, const char*, int16_t, int16_t) {}
void drawNumber(uint32_t, int16_t, int16_t) {}
