// The logic clock and the one screen loop that consumes it.
#include <allegro.h>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "app/Clock.h"
#include "app/QuitRequest.h"
#include "app/ScreenLoop.h"

namespace {

TEST(Clock, EveryCallbackAddsOneTick) {
  pendingTicks = 0;
  for (int i = 0; i < 5; ++i) onTick();
  EXPECT_EQ(pendingTicks.load(), 5);
  pendingTicks = 0;
}

TEST(Clock, RemovingTheTickDropsTicksNotYetConsumed) {
  pendingTicks = 0;
  onTick();
  onTick();
  removeTick();
  EXPECT_EQ(pendingTicks.load(), 0);
}

TEST(Clock, RateIsSixtyPerSecond) {
  EXPECT_EQ(tickRate, 60);
  EXPECT_EQ(BPS_TO_TIMER(tickRate), 19886);
}

// A screen that finishes on a chosen tick and records what the loop asked of it.
struct CountingScreen {
  using Result = int;
  int finishOnTick = -1;
  int ticks = 0;
  int draws = 0;
  int ticksPerDraw = 0;
  std::vector<int> ticksBeforeDraw;
  std::optional<int> tick() {
    ++ticks;
    if (ticks == finishOnTick) return ticks;
    return std::nullopt;
  }
  void draw() {
    ++draws;
    ticksBeforeDraw.push_back(ticks);
    // Ticks that arrive while drawing are consumed by the next pass.
    for (int i = 0; i < ticksPerDraw; ++i) onTick();
  }
  int interrupted() { return -1; }
};

class ScreenLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pendingTicks = 0;
    clearQuitRequest();
  }
  void TearDown() override {
    pendingTicks = 0;
    clearQuitRequest();
  }
};

TEST_F(ScreenLoopTest, AFinishingTickStaysPendingForTheNextScreen) {
  pendingTicks = 5;
  CountingScreen screen;
  screen.finishOnTick = 3;
  EXPECT_EQ(runScreen(screen), 3);
  EXPECT_EQ(pendingTicks.load(), 3);  // two consumed, the finishing one left
  EXPECT_EQ(screen.draws, 0);
}

TEST_F(ScreenLoopTest, AllPendingTicksRunBeforeEachFrame) {
  pendingTicks = 4;
  CountingScreen screen;
  screen.finishOnTick = 7;
  screen.ticksPerDraw = 3;
  EXPECT_EQ(runScreen(screen), 7);
  EXPECT_EQ(screen.ticksBeforeDraw, (std::vector<int>{4}));
}

TEST_F(ScreenLoopTest, FramesKeepComingWithoutTicks) {
  CountingScreen screen;
  screen.finishOnTick = 1;
  int frames = 0;
  struct Wrapper {
    using Result = int;
    CountingScreen& inner;
    int& frames;
    std::optional<int> tick() { return inner.tick(); }
    void draw() {
      if (++frames == 50) onTick();
    }
    int interrupted() { return -1; }
  } wrapper{screen, frames};
  EXPECT_EQ(runScreen(wrapper), 1);
  EXPECT_EQ(frames, 50);
}

TEST_F(ScreenLoopTest, AQuitRequestLeavesThroughTheScreensOwnPath) {
  pendingTicks = 2;
  requestQuit();
  CountingScreen screen;
  EXPECT_EQ(runScreen(screen), -1);
  EXPECT_EQ(screen.ticks, 2);  // pending logic still runs first
  EXPECT_EQ(screen.draws, 0);
}

}  // namespace
