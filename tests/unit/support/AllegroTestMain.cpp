// Test entry: Allegro without a display, with the 5-6-5 RGB layout of a real 16-bit mode.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 2;
  _rgb_r_shift_15 = 10;
  _rgb_g_shift_15 = 5;
  _rgb_b_shift_15 = 0;
  _rgb_r_shift_16 = 11;
  _rgb_g_shift_16 = 5;
  _rgb_b_shift_16 = 0;
  _rgb_r_shift_24 = 16;
  _rgb_g_shift_24 = 8;
  _rgb_b_shift_24 = 0;
  _rgb_r_shift_32 = 16;
  _rgb_g_shift_32 = 8;
  _rgb_b_shift_32 = 0;
  _rgb_a_shift_32 = 24;
  set_color_depth(16);
  return RUN_ALL_TESTS();
}
