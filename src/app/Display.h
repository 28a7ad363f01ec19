// Display modes (a 640x480 window or full screen) and presenting drawBuffer stretched 2x.
#pragma once
#include <cstdint>

struct BITMAP;

extern int16_t colorDepth;
extern BITMAP* backBuffer;

bool setDisplayMode(int width, int height, bool windowed);
bool tryFullScreen(int depth, int width, int height);
void presentFrame();
