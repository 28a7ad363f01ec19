#include "gfx/Assets.h"

#include <allegro.h>

#include <cstdint>
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

uint32_t readLittle(const unsigned char* bytes, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

// A BMP whose headers are sound and whose file holds all the pixels they announce, so that
// a truncated or damaged picture is reported at start-up instead of silently not drawn.
bool readableBitmap(const char* fileName) {
  std::FILE* file = std::fopen(fileName, "rb");
  if (!file) return false;
  unsigned char header[34] = {};
  bool complete = std::fread(header, 1, sizeof header, file) == sizeof header;
  long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  std::fclose(file);
  if (!complete || header[0] != 'B' || header[1] != 'M') return false;

  const uint32_t pixelOffset = readLittle(header + 10, 4);
  const uint32_t infoSize = readLittle(header + 14, 4);
  uint32_t width = 0, height = 0, bitsPerPixel = 0, compression = 0;
  if (infoSize == 12) {  // the old OS/2 header
    width = readLittle(header + 18, 2);
    height = readLittle(header + 20, 2);
    bitsPerPixel = readLittle(header + 24, 2);
  } else if (infoSize >= 40) {
    width = readLittle(header + 18, 4);
    height = readLittle(header + 22, 4);
    if (height & 0x80000000u) height = 0u - height;  // stored top-down
    bitsPerPixel = readLittle(header + 28, 2);
    compression = readLittle(header + 30, 4);
  } else {
    return false;
  }
  if (width == 0 || height == 0 || width > 65535 || height > 65535) return false;
  if (bitsPerPixel == 0 || bitsPerPixel > 32) return false;
  // Uncompressed rows are padded to four bytes; a compressed picture needs at least a byte.
  const uint64_t pixelBytes =
      compression == 0 ? uint64_t{(width * bitsPerPixel + 31) / 32 * 4} * height : 1;
  return size > 0 && uint64_t(size) >= pixelOffset + pixelBytes;
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
    if (!readableBitmap(name)) missing.emplace_back(name);
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
