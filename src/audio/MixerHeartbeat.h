// Whether the mixer still asks for sound. A sound server that dies does not always say so:
// SDL's PipeWire driver posts no removal, its stream just stops asking, so the layer also
// notices a device by the mixer's callback no longer coming while the device is open.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

class MixerHeartbeat {
 public:
  using Clock = std::chrono::steady_clock;
  // How long the mixer may stay quiet before its device counts as gone: well above any
  // buffer's period (about 23 ms here, 85 ms at the largest PipeWire quantum).
  static constexpr Clock::duration kSilenceLimit = std::chrono::seconds(1);
  // The longest stretch between two checks that counts whole. A longer one means the main
  // thread was held up (a busy machine, a stopped process), and the mixer's thread may have
  // been too: it is no evidence of a dead device.
  static constexpr Clock::duration kLongestStretch = std::chrono::milliseconds(250);

  // The mixer's thread, each time it is asked for sound.
  void beat() { beats.fetch_add(1, std::memory_order_relaxed); }
  // The main thread, when a device has just become the game's: the quiet counts from here.
  void restart(Clock::time_point now);
  // The main thread, once a tick: true once the mixer has been quiet for kSilenceLimit of the
  // main thread's own watching.
  bool stopped(Clock::time_point now);

 private:
  std::atomic<uint32_t> beats{0};
  uint32_t beatsSeen = 0;
  Clock::time_point lastCheck{};
  Clock::duration quiet{};
};
