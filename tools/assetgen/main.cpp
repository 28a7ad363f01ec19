// zeph-assetgen FOLDER: writes every BMP, WAV and MP3 the game reads into FOLDER.
// zeph-assetgen --preview FOLDER: the pictures only, plus the screens composed as preview-*.bmp.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "ArtPreview.h"
#include "Generator.h"

int main(int argc, char** argv) {
  bool preview = argc == 3 && std::strcmp(argv[1], "--preview") == 0;
  if (argc != 2 && !preview) {
    std::fprintf(stderr, "usage: zeph-assetgen [--preview] FOLDER\n");
    return 2;
  }
  const char* folder = argv[argc - 1];
  auto start = std::chrono::steady_clock::now();
  // A preview is for looking at the art, so it leaves the sounds alone.
  bool ok = generateArt(folder) && (preview ? writeArtPreviews(folder) : generateAudio(folder));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("zeph-assetgen: %s in %.1f s\n", ok ? "assets written" : "FAILED", seconds);
  return ok ? 0 : 1;
}
