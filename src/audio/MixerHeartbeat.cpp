// The mixer's callback counted against the main thread's steady clock.
#include "audio/MixerHeartbeat.h"

#include <algorithm>

void MixerHeartbeat::restart(Clock::time_point now) {
  beatsSeen = beats.load(std::memory_order_relaxed);
  lastCheck = now;
  quiet = Clock::duration::zero();
}

bool MixerHeartbeat::stopped(Clock::time_point now) {
  const Clock::duration stretch =
      std::clamp(now - lastCheck, Clock::duration::zero(), kLongestStretch);
  lastCheck = now;
  const uint32_t count = beats.load(std::memory_order_relaxed);
  if (count != beatsSeen) {
    beatsSeen = count;
    quiet = Clock::duration::zero();
    return false;
  }
  quiet += stretch;
  return quiet >= kSilenceLimit;
}
