// Test entry: Allegro without a display, with the 5-6-5 RGB layout of a real 16-bit mode, and
// each test in an empty working folder of its own, since a placed high score is saved there.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
namespace fs = std::filesystem;

class ScratchWorkingFolder : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    char pattern[] = "/tmp/zeph-test-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    folder = pattern;
    previous = fs::current_path();
    fs::current_path(folder);
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    if (folder.empty()) return;
    std::error_code ignored;
    fs::current_path(previous, ignored);
    fs::remove_all(folder, ignored);
    folder.clear();
  }

  fs::path previous;
  std::string folder;
};
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ScratchWorkingFolder);
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
