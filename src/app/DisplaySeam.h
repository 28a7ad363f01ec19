// Lets tests stand in for Allegro's set_gfx_mode to see which modes are tried, in order.
#pragma once

using GfxModeSetter = int (*)(int card, int width, int height, int virtualWidth, int virtualHeight);
void setGfxModeSetter(GfxModeSetter setter);  // nullptr restores set_gfx_mode
