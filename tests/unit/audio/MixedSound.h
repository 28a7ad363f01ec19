// How far the mixer has got: a test waits for so much sound to have been put out, the audio
// thread's own progress, never for a span of the clock that a busy machine may not honour.
#pragma once
#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <chrono>
#include <thread>

class MixedSound {
 public:
  // Counts from now; the mixer must be open.
  MixedSound() {
    mixed().store(0);
    Mix_SetPostMix(count, nullptr);
  }
  ~MixedSound() { Mix_SetPostMix(nullptr, nullptr); }
  MixedSound(const MixedSound&) = delete;
  MixedSound& operator=(const MixedSound&) = delete;

  // Waits until the mixer has put out this many frames (at its open rate) since the count
  // began; false for a mixer that is not open, or one stalled for a minute.
  static bool waitForFrames(long long frames) {
    int rate = 0, channels = 0;
    Uint16 format = 0;
    if (!Mix_QuerySpec(&rate, &format, &channels)) return false;
    const long long bytes = frames * channels * (SDL_AUDIO_BITSIZE(format) / 8);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (mixed().load() < bytes) {
      if (std::chrono::steady_clock::now() > giveUp) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

 private:
  static std::atomic<long long>& mixed() {
    static std::atomic<long long> bytes{0};
    return bytes;
  }
  static void count(void*, Uint8*, int length) { mixed() += length; }
};
