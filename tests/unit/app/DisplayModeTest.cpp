// Which display modes are tried, in which order, and what a switch leaves behind.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/App.h"
#include "app/Display.h"
#include "app/DisplaySeam.h"
#include "gfx/Assets.h"

namespace {

struct Attempt {
  int card;
  int depth;
  bool operator==(const Attempt&) const = default;
};

std::vector<Attempt> attempts;
std::vector<Attempt> accepted;  // the attempts the fake display accepts

int fakeSetGfxMode(int card, int width, int height, int, int) {
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  Attempt attempt{card, get_color_depth()};
  attempts.push_back(attempt);
  for (const Attempt& a : accepted)
    if (a == attempt) return 0;
  return -1;
}

class DisplayModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    attempts.clear();
    accepted.clear();
    setGfxModeSetter(fakeSetGfxMode);
    colorDepth = 0;
  }
  void TearDown() override {
    setGfxModeSetter(nullptr);
    if (backBuffer) destroy_bitmap(backBuffer);
    backBuffer = nullptr;
    set_color_depth(16);
  }
};

const std::vector<Attempt> kAllFullScreenAttempts = {
    {GFX_XDGA2, 16}, {GFX_XDGA2_SOFT, 16}, {GFX_XWINDOWS_FULLSCREEN, 16},
    {GFX_XDGA2, 32}, {GFX_XDGA2_SOFT, 32}, {GFX_XWINDOWS_FULLSCREEN, 32}};

TEST_F(DisplayModeTest, TheWindowIsSixteenBits) {
  accepted = {{GFX_XWINDOWS, 16}};
  ASSERT_TRUE(setDisplayMode(640, 480, true));
  EXPECT_EQ(attempts, (std::vector<Attempt>{{GFX_XWINDOWS, 16}}));
  EXPECT_EQ(colorDepth, 16);
  ASSERT_NE(backBuffer, nullptr);
  EXPECT_EQ(backBuffer->w, 640);
  EXPECT_EQ(backBuffer->h, 480);
}

TEST_F(DisplayModeTest, ARefusedWindowFailsWithoutABackBuffer) {
  EXPECT_FALSE(setDisplayMode(640, 480, true));
  EXPECT_EQ(backBuffer, nullptr);
}

TEST_F(DisplayModeTest, FullScreenStopsAtTheFirstAcceptedAttempt) {
  struct Case {
    Attempt accepts;
    size_t attemptsMade;
    int depth;
  };
  const Case cases[] = {
      {{GFX_XDGA2, 16}, 1, 16},
      {{GFX_XDGA2_SOFT, 16}, 2, 16},
      {{GFX_XWINDOWS_FULLSCREEN, 16}, 3, 16},
      {{GFX_XDGA2, 32}, 4, 32},
      {{GFX_XWINDOWS_FULLSCREEN, 32}, 6, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attemptsMade);
    attempts.clear();
    accepted = {c.accepts};
    colorDepth = 16;
    ASSERT_TRUE(setDisplayMode(640, 480, false));
    EXPECT_EQ(attempts, std::vector<Attempt>(kAllFullScreenAttempts.begin(),
                                             kAllFullScreenAttempts.begin() + c.attemptsMade));
    EXPECT_EQ(colorDepth, c.depth);
  }
}

TEST_F(DisplayModeTest, ASwitchReplacesTheBackBufferAtTheDrawingDepth) {
  accepted = {{GFX_XWINDOWS, 16}, {GFX_XDGA2, 32}};
  ASSERT_TRUE(setDisplayMode(640, 480, true));
  ASSERT_TRUE(setDisplayMode(640, 480, false));
  EXPECT_EQ(colorDepth, 32);
  // (The old buffer must be destroyed: the sanitizer build reports it as a leak otherwise.)
  ASSERT_NE(backBuffer, nullptr);
  EXPECT_EQ(backBuffer->w, 640);
  EXPECT_EQ(backBuffer->h, 480);
  // The stretch cannot change depth, so the back buffer stays at drawBuffer's 16 bits.
  EXPECT_EQ(bitmap_color_depth(backBuffer), 16);
}

TEST_F(DisplayModeTest, AllFullScreenAttemptsRefusedKeepTheOldState) {
  accepted = {{GFX_XWINDOWS, 16}};
  ASSERT_TRUE(setDisplayMode(640, 480, true));
  BITMAP* windowBuffer = backBuffer;
  attempts.clear();
  EXPECT_FALSE(setDisplayMode(640, 480, false));
  EXPECT_EQ(attempts, kAllFullScreenAttempts);
  EXPECT_EQ(backBuffer, windowBuffer);
  EXPECT_EQ(colorDepth, 16);
}

TEST_F(DisplayModeTest, FullScreenChoiceFallsBackToTheWindowOrGivesUpWithTheBox) {
  const char* box = "Error: Cannot find a suitable graphicmode!";
  struct Case {
    const char* what;
    std::vector<Attempt> accepted;
    bool switched;
  };
  const Case cases[] = {
      {"full screen accepted", {{GFX_XDGA2, 16}}, true},
      {"back in the window", {{GFX_XWINDOWS, 16}}, true},
      {"every mode refused", {}, false},
  };
  const char* display = std::getenv("DISPLAY");
  const std::string savedDisplay = display ? display : "";
  unsetenv("DISPLAY");  // the box's text then goes to stderr alone
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    attempts.clear();
    accepted = c.accepted;
    testing::internal::CaptureStderr();
    const bool switched = switchToFullScreen();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(switched, c.switched);
    EXPECT_EQ(err.find(box) != std::string::npos, !c.switched) << err;
    if (!c.switched) {
      std::vector<Attempt> expected = kAllFullScreenAttempts;
      expected.push_back({GFX_XWINDOWS, 16});
      EXPECT_EQ(attempts, expected);
    }
  }
  if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
}

TEST(PresentFrame, StretchesTheFrameTwiceInEachDirection) {
  drawBuffer = create_bitmap_ex(16, 320, 240);
  backBuffer = create_bitmap_ex(16, 640, 480);
  clear_to_color(drawBuffer, makecol16(0, 0, 0));
  clear_to_color(backBuffer, makecol16(255, 255, 255));
  const int red = makecol16(255, 0, 0);
  putpixel(drawBuffer, 10, 20, red);
  putpixel(drawBuffer, 319, 239, red);
  presentFrame();  // no screen in tests: only the stretch runs
  for (auto [x, y] : {std::pair{20, 40}, {21, 41}, {638, 478}, {639, 479}})
    EXPECT_EQ(getpixel(backBuffer, x, y), red) << x << "," << y;
  EXPECT_EQ(getpixel(backBuffer, 22, 40), makecol16(0, 0, 0));
  destroy_bitmap(drawBuffer);
  destroy_bitmap(backBuffer);
  drawBuffer = nullptr;
  backBuffer = nullptr;
}

}  // namespace
