// The mixer's silence as the main thread measures it: a dead device is noticed after a second
// of watching, never from a quiet stretch the main thread did not see, nor from a mixer that
// only asks less often than the game ticks. Time is driven by the test.
#include "audio/MixerHeartbeat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

using std::chrono::milliseconds;

// One check of the main thread: this long after the one before, with or without the mixer
// having asked for sound in between.
struct Check {
  int afterMs;
  bool asked;
};

std::vector<Check> repeat(int times, int afterMs, bool asked) {
  return std::vector<Check>(static_cast<size_t>(times), Check{afterMs, asked});
}

std::vector<Check> operator+(std::vector<Check> first, const std::vector<Check>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

// A mixer that asks every other tick: its period (about 23 ms) is longer than a tick's.
std::vector<Check> playing(int ticks) {
  std::vector<Check> checks;
  for (int tick = 0; tick < ticks; ++tick) checks.push_back({16, tick % 2 == 0});
  return checks;
}

struct Case {
  const char* name;
  std::vector<Check> checks;
  int firstStopped;  // index of the first check that finds the mixer stopped, -1 for none
};

}  // namespace

TEST(MixerHeartbeat, NoticesAStoppedMixerOnlyAfterASecondOfWatching) {
  const Case cases[] = {
      {"a mixer that keeps asking", playing(600), -1},
      {"a mixer that stops: ten checks of 100 ms", playing(60) + repeat(20, 100, false), 69},
      {"silence just short of a second", playing(60) + repeat(9, 100, false), -1},
      {"the main thread held up 5 s while the mixer went on",
       playing(60) + std::vector<Check>{{5000, true}} + playing(60), -1},
      {"the whole process held up 5 s, then the mixer goes on",
       playing(60) + std::vector<Check>{{5000, false}} + playing(60), -1},
      // The stalled stretch counts as a quarter second, the rest must be watched.
      {"held up, and the mixer is dead too",
       playing(60) + std::vector<Check>{{5000, false}} + repeat(10, 100, false), 68},
      {"a main thread that checks only every 300 ms still notices",
       playing(60) + repeat(6, 300, false), 63},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MixerHeartbeat heartbeat;
    auto now = MixerHeartbeat::Clock::time_point{} + std::chrono::hours(1);
    heartbeat.restart(now);
    int firstStopped = -1;
    for (size_t i = 0; i < c.checks.size() && firstStopped < 0; ++i) {
      now += milliseconds(c.checks[i].afterMs);
      if (c.checks[i].asked) heartbeat.beat();
      if (heartbeat.stopped(now)) firstStopped = static_cast<int>(i);
    }
    EXPECT_EQ(firstStopped, c.firstStopped);
  }
}

TEST(MixerHeartbeat, ADeviceJustOpenedGetsItsOwnSecond) {
  // The old device's silence does not carry over to the one taken up after it.
  MixerHeartbeat heartbeat;
  auto now = MixerHeartbeat::Clock::time_point{} + std::chrono::hours(1);
  heartbeat.restart(now);
  for (int i = 0; i < 9; ++i) EXPECT_FALSE(heartbeat.stopped(now += milliseconds(100)));
  heartbeat.restart(now += milliseconds(100));
  for (int i = 0; i < 9; ++i) EXPECT_FALSE(heartbeat.stopped(now += milliseconds(100)));
  EXPECT_TRUE(heartbeat.stopped(now += milliseconds(100)));
}
