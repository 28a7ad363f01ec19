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

constexpr uint32_t kOs2InfoSize = 12;
constexpr uint32_t kWindowsInfoSize = 40;
enum Compression : uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

// Header sizes of the later BMP versions (OS/2 2.x, Windows V2 to V5): sound files that
// Allegro's loader refuses outright.
bool laterInfoSize(uint32_t size) {
  for (uint32_t later : {16u, 52u, 56u, 64u, 108u, 124u})
    if (size == later) return true;
  return false;
}

// Compressions the loader reads, each with the depths it belongs to. Other pairings load as
// garbage, so they count as damaged.
bool depthFitsCompression(uint32_t bitsPerPixel, uint32_t compression) {
  switch (compression) {
    case Rgb:
      for (uint32_t depth : {1u, 4u, 8u, 16u, 24u, 32u})
        if (bitsPerPixel == depth) return true;
      return false;
    case Rle8:
      return bitsPerPixel == 8;
    case Rle4:
      return bitsPerPixel == 4;
    case BitFields:
      return bitsPerPixel == 16 || bitsPerPixel == 32;
    default:
      return false;
  }
}
}  // namespace

// Accepts what Allegro's load_bitmap reads (a 12- or 40-byte header, bottom-up rows,
// uncompressed, RLE or bit fields) when the file also holds every pixel its headers announce;
// the loader itself would return a bitmap from a truncated file and draw garbage.
BitmapFileState checkBitmapFile(const char* fileName) {
  std::FILE* file = std::fopen(fileName, "rb");
  if (!file) return BitmapFileState::Missing;
  unsigned char header[34] = {};
  const size_t got = std::fread(header, 1, sizeof header, file);
  const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  std::fclose(file);
  if (got < 18 || header[0] != 'B' || header[1] != 'M') return BitmapFileState::Damaged;

  const uint32_t pixelOffset = readLittle(header + 10, 4);
  const uint32_t infoSize = readLittle(header + 14, 4);
  uint32_t width = 0, height = 0, bitsPerPixel = 0, compression = Rgb;
  if (infoSize == kOs2InfoSize) {
    if (got < 26) return BitmapFileState::Damaged;
    width = readLittle(header + 18, 2);
    height = readLittle(header + 20, 2);
    bitsPerPixel = readLittle(header + 24, 2);
  } else if (infoSize == kWindowsInfoSize) {
    if (got < 34) return BitmapFileState::Damaged;
    width = readLittle(header + 18, 4);
    height = readLittle(header + 22, 4);
    bitsPerPixel = readLittle(header + 28, 2);
    compression = readLittle(header + 30, 4);
    // Rows stored top-down (a negative height) and JPEG or PNG data (4, 5) are legal BMPs.
    if (height & 0x80000000u || compression == 4 || compression == 5)
      return BitmapFileState::OtherBmpKind;
  } else {
    return laterInfoSize(infoSize) ? BitmapFileState::OtherBmpKind : BitmapFileState::Damaged;
  }
  if (width == 0 || height == 0 || width > 65535 || height > 65535) return BitmapFileState::Damaged;
  if (!depthFitsCompression(bitsPerPixel, compression)) return BitmapFileState::Damaged;
  // Uncompressed rows are padded to four bytes; run-length data needs at least a byte.
  const bool runLength = compression == Rle8 || compression == Rle4;
  const uint64_t pixelBytes =
      runLength ? 1 : uint64_t{(width * bitsPerPixel + 31) / 32 * 4} * height;
  return size > 0 && uint64_t(size) >= uint64_t{pixelOffset} + pixelBytes
             ? BitmapFileState::Readable
             : BitmapFileState::Damaged;
}

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
    if (checkBitmapFile(name) != BitmapFileState::Readable) missing.emplace_back(name);
  return missing;
}

std::string missingBitmapReport() {
  std::string report;
  for (const char* name : bitmapFiles) {
    const BitmapFileState state = checkBitmapFile(name);
    if (state == BitmapFileState::Readable) continue;
    report += "\n";
    report += name;
    // The picture is there but was saved in a BMP kind the game cannot read: say how to fix it.
    if (state == BitmapFileState::OtherBmpKind)
      report += " (a BMP kind the game cannot read: save it as 24-bit BMP, 40-byte header)";
  }
  return report.empty() ? report : "Missing or damaged game files:" + report;
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
