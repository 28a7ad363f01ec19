// The start-up check for missing bitmaps, and pictures loaded at the drawing depth.
#include <allegro.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "gfx/Assets.h"

namespace fs = std::filesystem;

namespace {

class InTempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zeph-assets-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    previous = fs::current_path();
    fs::current_path(folder);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(folder);
  }
  static void writeBitmap(const char* name, int depth) {
    BITMAP* bitmap = create_bitmap_ex(depth, 4, 4);
    clear_to_color(bitmap, makecol_depth(depth, 255, 0, 255));
    ASSERT_EQ(save_bitmap(name, bitmap, nullptr), 0);
    destroy_bitmap(bitmap);
  }
  fs::path folder, previous;
};

TEST_F(InTempFolder, EveryBitmapIsReportedMissingInAnEmptyFolder) {
  auto missing = missingBitmapFiles();
  EXPECT_EQ(static_cast<int>(missing.size()), bitmapFileCount);
  EXPECT_NE(std::find(missing.begin(), missing.end(), "LOADER.BMP"), missing.end());
  EXPECT_NE(std::find(missing.begin(), missing.end(), "playfield.bmp"), missing.end());
}

TEST_F(InTempFolder, OnlyTheAbsentOrBrokenFilesAreNamed) {
  for (int i = 0; i < bitmapFileCount; ++i) writeBitmap(bitmapFiles[i], 24);
  EXPECT_TRUE(missingBitmapFiles().empty());

  fs::remove("go.bmp");
  {
    std::FILE* f = std::fopen("menu.bmp", "wb");
    std::fputs("not a bitmap", f);
    std::fclose(f);
  }
  fs::remove("Logo.bmp");
  fs::create_directory("Logo.bmp");  // a folder where a file should be
  fs::remove("blocks.bmp");
  writeBitmap("BLOCKS.BMP", 24);                                 // names are case-sensitive
  fs::resize_file("flash.bmp", fs::file_size("flash.bmp") - 1);  // one byte of pixels lost
  fs::resize_file("kvelmar.bmp", 20);                            // headers cut short

  auto missing = missingBitmapFiles();
  std::sort(missing.begin(), missing.end());
  EXPECT_EQ(missing, (std::vector<std::string>{"Logo.bmp", "blocks.bmp", "flash.bmp", "go.bmp",
                                               "kvelmar.bmp", "menu.bmp"}));
}

TEST_F(InTempFolder, PicturesLoadAtTheDrawingDepthWhateverTheScreenDepth) {
  writeBitmap("picture.bmp", 24);
  set_color_depth(32);
  BITMAP* picture = loadPicture("picture.bmp");
  set_color_depth(16);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(bitmap_color_depth(picture), 16);
  EXPECT_EQ(getpixel(picture, 1, 1), bitmap_mask_color(picture));
  destroy_bitmap(picture);
  EXPECT_EQ(loadPicture("absent.bmp"), nullptr);
}

}  // namespace
