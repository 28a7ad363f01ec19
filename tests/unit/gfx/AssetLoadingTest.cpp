// loadAssets and freeAssets: the effects first and in their order (none with effects off), each
// picture into its own handle, and at the end the music stopped before anything is cleared.
#include <SDL_mixer.h>
#include <allegro.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/Settings.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"
#include "gfx/Assets.h"
#include "support/SoundSpy.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

const Names kEffectsInOrder = {"Block01.Wav", "Block02.Wav", "Block03.Wav",   "Block04.Wav",
                               "Combo01.Wav", "Combo02.Wav", "LevelUp.wav",   "Level.Wav",
                               "Death.Wav",   "Laser.wav",   "highscore.wav", "hs-menu.wav",
                               "ready-go.wav"};

struct StartupBitmap {
  const char* file;
  BITMAP** handle;
};
// The start-up pictures and the handle each belongs in.
const StartupBitmap kStartupBitmaps[] = {
    {"alpha.bmp", &alphaBmp}, {"blocks.bmp", &blocksBmp}, {"leveln.bmp", &levelnBmp},
    {"level.bmp", &levelBmp}, {"Logo.bmp", &logoBmp},     {"playfield.bmp", &playfieldBmp},
    {"flash.bmp", &flashBmp}, {"BG.bmp", &bgBmp},         {"superplayer.bmp", &superplayerBmp},
    {"combo.bmp", &comboBmp}, {"Life.bmp", &lifeBmp},     {"gameover.bmp", &gameoverBmp},
    {"ready.bmp", &readyBmp}, {"go.bmp", &goBmp}};

// A sound call and how many of the start-up bitmaps (drawBuffer included) existed at it.
struct ObservedCall {
  std::string call;
  std::string file;
  int result;
  int bitmapsPresent;
};

int bitmapsPresent() {
  int present = drawBuffer != nullptr;
  for (const StartupBitmap& picture : kStartupBitmaps) present += *picture.handle != nullptr;
  return present;
}

Names loadedSamples(const std::vector<ObservedCall>& calls) {
  Names files;
  for (const auto& call : calls)
    if (call.call == "FSOUND_Sample_Load") files.push_back(call.file);
  return files;
}

// Runs in the spy's folder, which holds a WAV for every effect; adds a picture for every
// start-up bitmap, each of its own width so that a test can tell which handle got which file.
class AssetLoadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = fs::current_path();
    fs::current_path(spy.folder());
    for (int i = 0; const StartupBitmap& picture : kStartupBitmaps) {
      BITMAP* bitmap = create_bitmap_ex(24, widthOf(i++), 4);
      clear_to_color(bitmap, makecol_depth(24, 10, 20, 30));
      ASSERT_EQ(save_bitmap(picture.file, bitmap, nullptr), 0);
      destroy_bitmap(bitmap);
    }
    for (auto& slot : soundBank) slot.handle = nullptr;  // as at program start
    // In place of the spy's own record: each call with the bitmaps that existed at it.
    setSoundObserver([this](const SoundCall& call) {
      calls.push_back({call.call, call.file, call.result, bitmapsPresent()});
    });
  }
  void TearDown() override {
    if (drawBuffer) freeAssets();
    fs::current_path(previous);
  }
  static int widthOf(int index) { return 5 + index; }

  SoundSpy spy;  // audio on the dummy driver, a WAV for every effect
  std::vector<ObservedCall> calls;
  fs::path previous;
};

TEST_F(AssetLoadingTest, EffectsLoadInTheirOrderIntoTheirSlotsBeforeAnyPicture) {
  loadAssets();
  EXPECT_EQ(loadedSamples(calls), kEffectsInOrder);
  for (const auto& call : calls) {
    if (call.call != "FSOUND_Sample_Load") continue;
    EXPECT_EQ(call.result, 1) << call.file;
    EXPECT_EQ(call.bitmapsPresent, 0) << call.file << " loaded after a picture";
  }

  // Each slot holds the sample of its own file: playing slot i sounds file i.
  calls.clear();
  for (auto& slot : soundBank) playSample(slot);
  Names played;
  for (const auto& call : calls) played.push_back(call.file);
  EXPECT_EQ(played, kEffectsInOrder);
}

TEST_F(AssetLoadingTest, WithEffectsOffNoSampleIsLoaded) {
  soundEnabled = 0;  // the spy puts it back
  loadAssets();
  EXPECT_EQ(loadedSamples(calls), Names{});
  for (const auto& slot : soundBank) EXPECT_EQ(slot.handle, nullptr);
  EXPECT_EQ(bitmapsPresent(), static_cast<int>(std::size(kStartupBitmaps)) + 1);
}

TEST_F(AssetLoadingTest, EachPictureGoesIntoItsOwnHandleAtTheDrawingDepth) {
  loadAssets();
  for (int i = 0; const StartupBitmap& picture : kStartupBitmaps) {
    SCOPED_TRACE(picture.file);
    ASSERT_NE(*picture.handle, nullptr);
    EXPECT_EQ((*picture.handle)->w, widthOf(i++));
    EXPECT_EQ(bitmap_color_depth(*picture.handle), 16);
  }
  ASSERT_NE(drawBuffer, nullptr);
  EXPECT_EQ(drawBuffer->w, 320);
  EXPECT_EQ(drawBuffer->h, 240);
  EXPECT_EQ(bitmap_color_depth(drawBuffer), 16);
}

TEST_F(AssetLoadingTest, TheStartupPicturesAreDecodedFromWhatTheCheckRead) {
  std::vector<PictureFile> checked = checkPictures();
  // Gone from the folder after the check: whatever loads now was not read a second time.
  for (const StartupBitmap& picture : kStartupBitmaps) fs::remove(picture.file);
  loadAssets(std::move(checked));
  for (int i = 0; const StartupBitmap& picture : kStartupBitmaps) {
    SCOPED_TRACE(picture.file);
    ASSERT_NE(*picture.handle, nullptr);
    EXPECT_EQ((*picture.handle)->w, widthOf(i++));
  }
}

TEST_F(AssetLoadingTest, FreeAssetsStopsTheMusicFirstAndClearsEveryHandle) {
  loadAssets();
  ASSERT_TRUE(SoundSpy::writeMp3(spy.folder() + "/TITLE.MP3", 400));
  musicPlayer.openMusic("TITLE.MP3", true);
  musicPlayer.playMusic();
  ASSERT_TRUE(Mix_PlayingMusic());
  calls.clear();

  freeAssets();  // (a picture freed twice or not at all shows in the sanitizer build)
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].call + " " + calls[0].file, "FSOUND_Stream_Stop TITLE.MP3");
  EXPECT_EQ(calls[1].call + " " + calls[1].file, "FSOUND_Stream_Close TITLE.MP3");
  EXPECT_EQ(calls[0].bitmapsPresent, static_cast<int>(std::size(kStartupBitmaps)) + 1)
      << "a picture was freed before the music stopped";
  EXPECT_FALSE(Mix_PlayingMusic());
  EXPECT_EQ(musicPlayer.playing, 0);
  EXPECT_EQ(musicPlayer.stream, nullptr);
  for (const StartupBitmap& picture : kStartupBitmaps)
    EXPECT_EQ(*picture.handle, nullptr) << picture.file;
  EXPECT_EQ(drawBuffer, nullptr);
}

}  // namespace
