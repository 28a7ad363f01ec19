// Every bitmap the game reads, drawBuffer, and the check that they are all there.
#pragma once
#include <string>
#include <vector>

#include "gfx/PictureFile.h"

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

// Every picture the game reads, read and checked once; the start-up pictures keep their bytes,
// so that loadAssets decodes them without reading them again.
std::vector<PictureFile> checkPictures();

// Effects, then the start-up pictures decoded from what checkPictures read, and drawBuffer.
void loadAssets(std::vector<PictureFile> checked);
void loadAssets();  // the same, reading the pictures now
void freeAssets();

// Reads, checks and decodes a screen's own picture at drawBuffer's depth, so that it can be
// masked onto it; null when the file is missing or damaged by now.
BITMAP* loadPicture(const char* fileName);

// Every bitmap file the game will read (shared and per-screen), in the working directory.
extern const char* const bitmapFiles[];
extern const int bitmapFileCount;

BitmapFileState checkBitmapFile(const char* fileName);

// The text of the start-up "Error" box naming every picture that is not Readable, with why the
// file was refused or how to save a picture of another BMP kind; empty when all can be read.
std::string missingBitmapReport(const std::vector<PictureFile>& checked);
