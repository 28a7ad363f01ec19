// Every picture of the game, each made by its own function, and the table that names the files.
#pragma once

#include "Canvas.h"

// Sprites.cpp
void paintBlock(BITMAP* bmp, int x, int y, int size, int color);
BITMAP* makeBlocks();
BITMAP* makeFlash();
BITMAP* makeLife();
BITMAP* makePageFlip();
BITMAP* makeLogo();

// Backgrounds.cpp
BITMAP* makePlayfield();
BITMAP* makeFrontBackground();

// Captions.cpp
BITMAP* makeAlpha();
BITMAP* makeLevelDigits();
BITMAP* makeLevelCaption();
BITMAP* makeComboCaption();
BITMAP* makeMenu();
BITMAP* makeLoader();
BITMAP* makeGamepad();
BITMAP* makeHighScoreTitle();
BITMAP* makeCredit();
BITMAP* makeReady();
BITMAP* makeGo();
BITMAP* makeGameOver();
BITMAP* makeSuperPlayer();

struct ArtFile {
  const char* name;
  BITMAP* (*make)();
};
extern const ArtFile artFiles[];
extern const int artFileCount;

// Starts Allegro without a display for 24-bit memory bitmaps (once per process).
bool startArtAllegro();
