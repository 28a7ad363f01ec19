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

// What the start-up check makes of one picture file. OtherBmpKind is a sound BMP of a kind
// Allegro's loader refuses (a 108- or 124-byte header, stored top-down, JPEG or PNG inside).
enum class BitmapFileState { Readable, Missing, Damaged, OtherBmpKind };
BitmapFileState checkBitmapFile(const char* fileName);

std::vector<std::string> missingBitmapFiles();  // every file of bitmapFiles not Readable
// The text of the start-up "Error" box naming them, with a hint on how to save a picture of
// another BMP kind; empty when every picture can be read.
std::string missingBitmapReport();
