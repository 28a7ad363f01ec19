// zeph-assetgen FOLDER: writes every BMP, WAV and MP3 the game reads and the window's icon into
// FOLDER, and a default HIGHSCORE.DAT when none is there yet.
// zeph-assetgen --preview FOLDER: the pictures only, plus the screens composed as preview-*.bmp.
// zeph-assetgen --desktop FOLDER: what an install adds: icon-N.png, icon.svg and
// HIGHSCORE.DAT.default.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "ArtPreview.h"
#include "Desktop.h"
#include "Generator.h"
#include "app/WindowIcon.h"
#include "scores/HighScoreTable.h"

int main(int argc, char** argv) {
  const char* mode = argc == 3 ? argv[1] : "";
  bool preview = std::strcmp(mode, "--preview") == 0;
  bool desktop = std::strcmp(mode, "--desktop") == 0;
  if (argc != 2 && !preview && !desktop) {
    std::fprintf(stderr, "usage: zeph-assetgen [--preview | --desktop] FOLDER\n");
    return 2;
  }
  const std::string folder = argv[argc - 1];
  auto start = std::chrono::steady_clock::now();
  bool ok;
  if (desktop) {
    ok = generateIcons(folder) &&
         writeDefaultHighScores(folder + "/" + kHighScoreFile + ".default", false);
  } else if (preview) {
    // A preview is for looking at the art, so it leaves the sounds alone.
    ok = generateArt(folder) && writeArtPreviews(folder);
  } else {
    // A player's scores in the build's game folder survive every rebuild.
    ok = generateArt(folder) && generateAudio(folder) &&
         writeWindowIcon(folder + "/" + kWindowIconFile) &&
         writeDefaultHighScores(folder + "/" + kHighScoreFile, true);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("zeph-assetgen: %s in %.1f s\n", ok ? "assets written" : "FAILED", seconds);
  return ok ? 0 : 1;
}
