// Opening the sound device away from the game's main thread, while it is gone: a sound server
// that restarts, or one that was not there yet when the game started. An attempt can take
// longer than a tick, so the game only ever looks at whether one has succeeded.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class SoundDeviceWatcher {
 public:
  SoundDeviceWatcher() = default;
  ~SoundDeviceWatcher() { stop(); }
  SoundDeviceWatcher(const SoundDeviceWatcher&) = delete;
  SoundDeviceWatcher& operator=(const SoundDeviceWatcher&) = delete;

  // Starts trying to open the mixer at this rate with this many channels, twice a second,
  // until it opens. letGo, when given, runs first on the watcher's thread: what is left of a
  // lost device is released there (closing one takes about 50 ms). SDL's audio and the mixer
  // then belong to the watcher until ready() or stop().
  void start(int rate, int channels, std::function<void()> letGo = {});
  // True once the mixer is open again; the watcher has then finished, and the mixer is the
  // main thread's again after stop().
  bool ready() const { return opened.load(std::memory_order_acquire); }
  bool running() const { return worker.joinable(); }
  // Attempts finished since the last start, failed or not.
  int attempts() const { return tries.load(std::memory_order_acquire); }
  // Ends the attempts and waits for the one under way; whether the mixer opened is ready().
  void stop();

 private:
  void attempt(int rate, int channels, const std::function<void()>& letGo);

  std::thread worker;
  std::mutex lock;
  std::condition_variable wake;
  bool stopping = false;
  std::atomic<bool> opened{false};
  std::atomic<int> tries{0};
};

// Opens the mixer on SDL's running audio as the game uses it.
bool openMixer(int rate, int channels);
// Starts SDL's audio and opens the mixer; false leaves SDL's audio closed.
bool openSoundDevice(int rate, int channels);
// Closes the mixer and SDL's audio, so the next open picks its driver afresh.
void closeSoundDevice();
