// generateArt: draws every picture in memory and saves each as a 24-bit BMP under its exact name.
#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "Art.h"
#include "Generator.h"

const ArtFile artFiles[] = {
    {"alpha.bmp", makeAlpha},
    {"blocks.bmp", makeBlocks},
    {"leveln.bmp", makeLevelDigits},
    {"level.bmp", makeLevelCaption},
    {"Logo.bmp", makeLogo},
    {"playfield.bmp", makePlayfield},
    {"flash.bmp", makeFlash},
    {"BG.bmp", makeFrontBackground},
    {"superplayer.bmp", makeSuperPlayer},
    {"combo.bmp", makeComboCaption},
    {"Life.bmp", makeLife},
    {"gameover.bmp", makeGameOver},
    {"ready.bmp", makeReady},
    {"go.bmp", makeGo},
    {"LOADER.BMP", makeLoader},
    {"GAMEPAD.BMP", makeGamepad},
    {"kvelmar.bmp", makeCredit},
    {"menu.bmp", makeMenu},
    {"pageflip.bmp", makePageFlip},
    {"highscore.bmp", makeHighScoreTitle},
};
const int artFileCount = sizeof artFiles / sizeof artFiles[0];

bool startArtAllegro() {
  static bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  if (started) set_color_depth(24);
  return started;
}

bool generateArt(const std::string& folder) {
  if (!startArtAllegro()) {
    std::fprintf(stderr, "zeph-assetgen: cannot start Allegro\n");
    return false;
  }
  for (const ArtFile& file : artFiles) {
    BITMAP* bmp = file.make();
    std::string path = folder + "/" + file.name;
    bool saved = bmp && save_bitmap(path.c_str(), bmp, nullptr) == 0;
    if (bmp) destroy_bitmap(bmp);
    if (!saved) {
      std::fprintf(stderr, "zeph-assetgen: cannot write %s\n", path.c_str());
      return false;
    }
  }
  return true;
}
