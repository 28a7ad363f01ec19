// zeph-assetgen FOLDER: writes every BMP, WAV and MP3 the game reads into FOLDER.
#include <chrono>
#include <cstdio>

#include "Generator.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zeph-assetgen FOLDER\n");
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  bool ok = generateArt(argv[1]) && generateAudio(argv[1]);
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("zeph-assetgen: %s in %.1f s\n", ok ? "assets written" : "FAILED", seconds);
  return ok ? 0 : 1;
}
