#include "gfx/Assets.h"

#include <allegro.h>

#include <cstdio>

#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"

BITMAP* alphaBmp = nullptr;
BITMAP* blocksBmp = nullptr;
BITMAP* levelnBmp = nullptr;
BITMAP* levelBmp = nullptr;
BITMAP* logoBmp = nullptr;
BITMAP* playfieldBmp = nullptr;
BITMAP* flashBmp = nullptr;
BITMAP* bgBmp = nullptr;
BITMAP* superplayerBmp = nullptr;
BITMAP* comboBmp = nullptr;
BITMAP* lifeBmp = nullptr;
BITMAP* gameoverBmp = nullptr;
BITMAP* readyBmp = nullptr;
BITMAP* goBmp = nullptr;
BITMAP* drawBuffer = nullptr;

const char* const bitmapFiles[] = {
    "alpha.bmp",     "blocks.bmp",   "leveln.bmp", "level.bmp",       "Logo.bmp",
    "playfield.bmp", "flash.bmp",    "BG.bmp",     "superplayer.bmp", "combo.bmp",
    "Life.bmp",      "gameover.bmp", "ready.bmp",  "go.bmp",          "LOADER.BMP",
    "GAMEPAD.BMP",   "kvelmar.bmp",  "menu.bmp",   "pageflip.bmp",    "highscore.bmp"};
const int bitmapFileCount = sizeof bitmapFiles / sizeof bitmapFiles[0];

namespace {
constexpr int kDrawDepth = 16;

void destroy(BITMAP*& bitmap) {
  if (bitmap) destroy_bitmap(bitmap);
  bitmap = nullptr;
}

// A file that opens and starts like a BMP; load_bitmap decides the rest.
bool looksLikeBitmap(const char* fileName) {
  std::FILE* file = std::fopen(fileName, "rb");
  if (!file) return false;
  char magic[2] = {};
  bool ok = std::fread(magic, 1, 2, file) == 2 && magic[0] == 'B' && magic[1] == 'M';
  std::fclose(file);
  return ok;
}
}  // namespace

BITMAP* loadPicture(const char* fileName) {
  int depth = drawBuffer ? bitmap_color_depth(drawBuffer) : kDrawDepth;
  int previous = get_color_depth();
  set_color_depth(depth);
  BITMAP* bitmap = load_bitmap(fileName, nullptr);
  set_color_depth(previous);
  return bitmap;
}

std::vector<std::string> missingBitmapFiles() {
  std::vector<std::string> missing;
  for (const char* name : bitmapFiles)
    if (!looksLikeBitmap(name)) missing.emplace_back(name);
  return missing;
}

void loadAssets() {
  for (int slot = 0; slot < kSampleCount; ++slot) loadSample(soundBank[slot], sampleFiles[slot]);

  alphaBmp = loadPicture("alpha.bmp");
  blocksBmp = loadPicture("blocks.bmp");
  levelnBmp = loadPicture("leveln.bmp");
  levelBmp = loadPicture("level.bmp");
  logoBmp = loadPicture("Logo.bmp");
  playfieldBmp = loadPicture("playfield.bmp");
  flashBmp = loadPicture("flash.bmp");
  bgBmp = loadPicture("BG.bmp");
  superplayerBmp = loadPicture("superplayer.bmp");
  comboBmp = loadPicture("combo.bmp");
  lifeBmp = loadPicture("Life.bmp");
  gameoverBmp = loadPicture("gameover.bmp");
  drawBuffer = create_bitmap_ex(kDrawDepth, 320, 240);
  readyBmp = loadPicture("ready.bmp");
  goBmp = loadPicture("go.bmp");
}

void freeAssets() {
  musicPlayer.stopMusic();
  destroy(alphaBmp);
  destroy(blocksBmp);
  destroy(levelnBmp);
  destroy(levelBmp);
  destroy(logoBmp);
  destroy(playfieldBmp);
  destroy(flashBmp);
  destroy(bgBmp);
  destroy(comboBmp);
  destroy(lifeBmp);
  destroy(gameoverBmp);
  destroy(readyBmp);
  destroy(goBmp);
  destroy(drawBuffer);
  destroy(superplayerBmp);
}
