// What reading the pictures costs a start: the check that reads each picture into memory and
// Allegro decoding the start-up ones from those bytes, against the start as it was (a 34-byte
// header check of each file, then load_bitmap reading the start-up ones from their paths).
#include <allegro.h>
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/ReadFile.h"
#include "gfx/Assets.h"
#include "gfx/PictureFile.h"

namespace {
constexpr int kDepth = 16;
const char* const kStartupFiles[] = {
    "alpha.bmp",     "blocks.bmp",   "leveln.bmp", "level.bmp",       "Logo.bmp",
    "playfield.bmp", "flash.bmp",    "BG.bmp",     "superplayer.bmp", "combo.bmp",
    "Life.bmp",      "gameover.bmp", "ready.bmp",  "go.bmp"};

// The generated game folder beside this program's folder (build/release/game), entered.
bool enterGameFolder(benchmark::State& state) {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string folder = length > 0 ? std::string(path, length) : "";
  folder = folder.substr(0, folder.find_last_of('/')) + "/../game";
  if (!started || chdir(folder.c_str()) != 0 || access("BG.bmp", R_OK) != 0) {
    state.SkipWithError("no generated game folder beside the benchmarks (build the release)");
    return false;
  }
  return true;
}

// The header check the start made before, one file.
bool headerLooksWhole(const char* name) {
  std::FILE* file = std::fopen(name, "rb");
  if (!file) return false;
  unsigned char header[34] = {};
  const size_t got = std::fread(header, 1, sizeof header, file);
  const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  std::fclose(file);
  return got == sizeof header && header[0] == 'B' && size > 0;
}

// The start's picture work, done once in a forked child as in a program just started: its
// memory is fresh, so the pages it touches cost what they cost a real start.
template <typename Work>
void inFreshProcess(benchmark::State& state, Work work) {
  for (auto _ : state) {
    const pid_t child = fork();
    if (child == 0) _exit(work() ? 0 : 1);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || status != 0)
      state.SkipWithError("the start's pictures did not load");
  }
}

bool startFromPaths() {
  for (int i = 0; i < bitmapFileCount; ++i)
    if (!headerLooksWhole(bitmapFiles[i])) return false;
  set_color_depth(kDepth);
  for (const char* name : kStartupFiles)
    if (!load_bitmap(name, nullptr)) return false;
  return true;
}

bool startReadOnce() {
  std::vector<PictureFile> checked = checkPictures();
  int decoded = 0;
  for (PictureFile& picture : checked) {
    if (picture.bytes.empty()) continue;
    if (!decodePicture(picture.bytes, kDepth)) return false;
    picture.bytes = {};  // as loadAssets lets go of each file's bytes once decoded
    ++decoded;
  }
  return decoded == static_cast<int>(std::size(kStartupFiles));
}

void BM_StartPicturesFromPaths(benchmark::State& state) {
  if (enterGameFolder(state)) inFreshProcess(state, startFromPaths);
}
BENCHMARK(BM_StartPicturesFromPaths)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StartPicturesReadOnce(benchmark::State& state) {
  if (enterGameFolder(state)) inFreshProcess(state, startReadOnce);
}
BENCHMARK(BM_StartPicturesReadOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

// A screen's own picture, as the main menu loads "menu.bmp" on every visit.
void BM_ScreenPictureFromPath(benchmark::State& state) {
  if (!enterGameFolder(state)) return;
  set_color_depth(kDepth);
  for (auto _ : state) destroy_bitmap(load_bitmap("menu.bmp", nullptr));
}
BENCHMARK(BM_ScreenPictureFromPath)->Unit(benchmark::kMicrosecond);

void BM_ScreenPictureReadOnce(benchmark::State& state) {
  if (!enterGameFolder(state)) return;
  for (auto _ : state) destroy_bitmap(loadPicture("menu.bmp"));
}
BENCHMARK(BM_ScreenPictureReadOnce)->Unit(benchmark::kMicrosecond);
}  // namespace
