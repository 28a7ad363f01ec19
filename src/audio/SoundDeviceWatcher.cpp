// The thread that brings the sound device back, and the open and close it shares with start-up.
#include "audio/SoundDeviceWatcher.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>

namespace {
constexpr auto kRetryPause = std::chrono::milliseconds(500);
constexpr int kOutputChannels = 2;
constexpr int kMixBufferFrames = 1024;
}  // namespace

bool openMixer(int rate, int channels) {
  if (Mix_OpenAudio(rate, MIX_DEFAULT_FORMAT, kOutputChannels, kMixBufferFrames) != 0) return false;
  Mix_AllocateChannels(std::max(channels, 1));
  return true;
}

bool openSoundDevice(int rate, int channels) {
  // SDL picks its driver when its audio starts: a server that has just appeared is found only
  // by a fresh start.
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  if (openMixer(rate, channels)) return true;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return false;
}

void closeSoundDevice() {
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SoundDeviceWatcher::start(int rate, int channels, std::function<void()> letGo) {
  stop();
  opened.store(false);
  tries.store(0);
  stopping = false;
  worker = std::thread([this, rate, channels, letGo = std::move(letGo)] {
    attempt(rate, channels, letGo);
    // SDL keeps an error text per thread, freed by itself only on threads it made.
    SDL_TLSCleanup();
  });
}

void SoundDeviceWatcher::stop() {
  if (!worker.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(lock);
    stopping = true;
  }
  wake.notify_all();
  worker.join();
}

void SoundDeviceWatcher::attempt(int rate, int channels, const std::function<void()>& letGo) {
  if (letGo) letGo();
  std::unique_lock<std::mutex> hold(lock);
  while (!stopping) {
    hold.unlock();
    const bool open = openSoundDevice(rate, channels);
    tries.fetch_add(1, std::memory_order_release);
    hold.lock();
    if (open) {
      opened.store(true, std::memory_order_release);
      return;
    }
    wake.wait_for(hold, kRetryPause, [this] { return stopping; });
  }
}
