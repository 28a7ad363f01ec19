// The audio half of the generator: writes the thirteen effects and renders and encodes the
// nine music loops, two at a time.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "AudioWriters.h"
#include "Effects.h"
#include "Generator.h"
#include "Songs.h"

namespace {
// Every track equally loud (RMS -22.5 dBFS), low enough that every effect, at -12 dBFS over
// its loudest 100 ms (Effects.cpp), stands clear of the music's loud passages.
constexpr float kMusicLoudness = 0.075f;
constexpr float kMusicCeiling = 0.7f;
constexpr unsigned kThreads = 2;
}  // namespace

bool generateAudio(const std::string& folder) {
  for (const Effect& effect : makeEffects()) {
    if (!writeWav(folder + "/" + effect.fileName, effect.samples)) {
      std::fprintf(stderr, "zeph-assetgen: cannot write %s\n", effect.fileName.c_str());
      return false;
    }
  }

  std::vector<std::string> errors;
  const std::vector<music::Song> songs = composeSongs(errors);
  for (const std::string& error : errors)
    std::fprintf(stderr, "zeph-assetgen: %s\n", error.c_str());
  if (!errors.empty()) return false;

  std::atomic<std::size_t> next{0};
  std::atomic<bool> ok{true};
  std::mutex printing;
  auto worker = [&] {
    for (std::size_t i = next++; i < songs.size(); i = next++) {
      const music::Song& song = songs[i];
      auto start = std::chrono::steady_clock::now();
      bool written = writeMp3(folder + "/" + song.fileName,
                              music::renderLoop(song, kMusicLoudness, kMusicCeiling));
      double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::lock_guard<std::mutex> lock(printing);
      if (written) {
        std::printf("zeph-assetgen: %-9s %4.1f s of music in %.1f s\n", song.fileName.c_str(),
                    song.loopSeconds(), seconds);
      } else {
        std::fprintf(stderr, "zeph-assetgen: cannot write %s\n", song.fileName.c_str());
        ok = false;
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < kThreads; ++t) threads.emplace_back(worker);
  for (std::thread& thread : threads) thread.join();
  return ok;
}
