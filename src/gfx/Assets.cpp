// The start-up bitmaps and drawBuffer, the screens' own pictures, and the start-up check.
#include "gfx/Assets.h"

#include <allegro.h>

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

struct StartupPicture {
  const char* file;
  BITMAP** handle;
};
// The start-up pictures in their loading order; drawBuffer is made before the last two.
const StartupPicture kStartupPictures[] = {
    {"alpha.bmp", &alphaBmp}, {"blocks.bmp", &blocksBmp}, {"leveln.bmp", &levelnBmp},
    {"level.bmp", &levelBmp}, {"Logo.bmp", &logoBmp},     {"playfield.bmp", &playfieldBmp},
    {"flash.bmp", &flashBmp}, {"BG.bmp", &bgBmp},         {"superplayer.bmp", &superplayerBmp},
    {"combo.bmp", &comboBmp}, {"Life.bmp", &lifeBmp},     {"gameover.bmp", &gameoverBmp},
    {"ready.bmp", &readyBmp}, {"go.bmp", &goBmp}};
constexpr int kPicturesBeforeDrawBuffer = 12;

bool isStartupPicture(const std::string& name) {
  for (const StartupPicture& picture : kStartupPictures)
    if (name == picture.file) return true;
  return false;
}

// Decodes the named picture from what the check read, and lets go of its bytes.
BITMAP* decodeChecked(std::vector<PictureFile>& checked, const char* name) {
  for (PictureFile& picture : checked) {
    if (picture.name != name) continue;
    BITMAP* bitmap = decodePicture(picture.bytes, kDrawDepth);
    picture.bytes = {};
    return bitmap;
  }
  return nullptr;
}
}  // namespace

BitmapFileState checkBitmapFile(const char* fileName) { return readPictureFile(fileName).state; }

BITMAP* loadPicture(const char* fileName) {
  const PictureFile picture = readPictureFile(fileName);
  return decodePicture(picture.bytes, drawBuffer ? bitmap_color_depth(drawBuffer) : kDrawDepth);
}

std::vector<PictureFile> checkPictures() {
  std::vector<PictureFile> checked;
  checked.reserve(bitmapFileCount);
  PictureFile scratch;  // one buffer for every screen picture
  for (const char* name : bitmapFiles) {
    if (isStartupPicture(name)) {
      checked.push_back(readPictureFile(name));
      continue;
    }
    // A screen reads its own pictures again when it starts, so theirs are not kept.
    readPictureFile(name, scratch);
    checked.push_back(PictureFile{scratch.name, scratch.state, scratch.refusal, {}});
  }
  return checked;
}

std::string missingBitmapReport(const std::vector<PictureFile>& checked) {
  std::string report;
  for (const PictureFile& picture : checked) {
    if (picture.state == BitmapFileState::Readable) continue;
    report += "\n";
    report += picture.name;
    if (!picture.refusal.empty()) report += " (" + picture.refusal + ")";
    // The picture is there but was saved in a BMP kind the game cannot read: say how to fix it.
    if (picture.state == BitmapFileState::OtherBmpKind)
      report += " (a BMP kind the game cannot read: save it as 24-bit BMP, 40-byte header)";
  }
  return report.empty() ? report : "Missing or damaged game files:" + report;
}

void loadAssets(std::vector<PictureFile> checked) {
  for (int slot = 0; slot < kSampleCount; ++slot) loadSample(soundBank[slot], sampleFiles[slot]);

  for (int i = 0; const StartupPicture& picture : kStartupPictures) {
    if (i++ == kPicturesBeforeDrawBuffer) drawBuffer = create_bitmap_ex(kDrawDepth, 320, 240);
    *picture.handle = decodeChecked(checked, picture.file);
  }
}

void loadAssets() { loadAssets(checkPictures()); }

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
