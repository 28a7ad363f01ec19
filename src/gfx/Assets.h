// Every bitmap the game reads, drawBuffer, and the check that they are all there.
#pragma once
#include <string>
#include <vector>

struct BITMAP;

extern BITMAP* alphaBmp;
extern BITMAP* blocksBmp;
extern BITMAP* levelnBmp;
extern BITMAP* levelBmp;
extern BITMAP* logoBmp;
extern BITMAP* playfieldBmp;
extern BITMAP* flashBmp;
extern BITMAP* bgBmp;
extern BITMAP* superplayerBmp;
extern BITMAP* comboBmp;
extern BITMAP* lifeBmp;
extern BITMAP* gameoverBmp;
extern BITMAP* readyBmp;
extern BITMAP* goBmp;
extern BITMAP* drawBuffer;

void loadAssets();
void freeAssets();

// Loads a screen's own picture at drawBuffer's depth, so that it can be masked onto it.
BITMAP* loadPicture(const char* fileName);

// Every bitmap file the game will read (shared and per-screen), in the working directory.
extern const char* const bitmapFiles[];
extern const int bitmapFileCount;
std::vector<std::string> missingBitmapFiles();  // absent, unreadable or damaged
