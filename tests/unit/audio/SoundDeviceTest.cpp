// A sound device that goes away and comes back, through SDL's disk driver: writing into
// /dev/full makes SDL report the device lost, and its file is a link the test points elsewhere
// for the device to open again. The game's handles stay valid throughout.
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "CallRecorder.h"
#include "audio/SoundLibrary.h"

namespace fs = std::filesystem;

namespace {
class SoundDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zeph-device-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    ASSERT_TRUE(SoundSpy::writeWav(folder + "/Laser.wav", 4410));
    ASSERT_TRUE(SoundSpy::writeMp3(folder + "/TITLE.MP3", 40));
    output = folder + "/output";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  }
  void TearDown() override {
    FSOUND_Close();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SDL_DISKAUDIOFILE");
    fs::remove_all(folder);
  }
  void pointOutputAt(const std::string& target) {
    fs::remove(output);
    fs::create_symlink(target, output);
  }
  // Runs the per-tick check (as the screen loop does) until done says so. Only a hang takes a
  // minute, however busy the machine: the sound device's own pace is no part of the test.
  static bool tickUntil(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (;;) {
      keepSoundInStep();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > giveUp) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
  }
  static bool tickUntil(bool open) {
    return tickUntil([open] { return soundDeviceOpen() == open; });
  }

  CallRecorder recorder;  // closes what an earlier test left running
  std::string folder;
  std::string output;
};
}  // namespace

// Sound has reached the output file since the mark: bytes that are not silence.
bool heardSince(const std::string& file, std::uintmax_t mark) {
  std::ifstream in(file, std::ios::binary);
  in.seekg(std::streamoff(mark));
  for (char c; in.get(c);)
    if (c != 0) return true;
  return false;
}

TEST_F(SoundDeviceTest, ALostDeviceIsLetGoAndTakenUpAgain) {
  pointOutputAt("/dev/full");  // opens, and fails at its first write: SDL reports it lost
  ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
  FSOUND_SAMPLE* laser = FSOUND_Sample_Load(-1, (folder + "/Laser.wav").c_str(), FSOUND_2D, 0, 0);
  FSOUND_STREAM* title = FSOUND_Stream_Open((folder + "/TITLE.MP3").c_str(), 0x132, 0, 0);
  ASSERT_NE(laser, nullptr);
  ASSERT_NE(title, nullptr);
  const int channel = FSOUND_Stream_Play(-1, title);
  ASSERT_GE(channel, 0);
  ASSERT_TRUE(tickUntil(false)) << "the lost device was never noticed";

  // Gone: the game plays on, its handles valid, every call harmless.
  EXPECT_EQ(FSOUND_PlaySound(-1, laser), -1);
  EXPECT_EQ(FSOUND_SetVolume(channel, 200), 1);
  EXPECT_EQ(FSOUND_SetVolume(channel, 255), 1);
  EXPECT_EQ(FSOUND_Stream_Play(-1, title), channel);

  // A device that takes sound again: the track plays again and so do the effects.
  const std::string heard = folder + "/heard.raw";
  pointOutputAt(heard);
  const bool back =
      tickUntil([&] { return soundDeviceOpen() && fs::exists(heard) && fs::file_size(heard) > 0; });
  ASSERT_TRUE(back) << "the device did not come back";
  EXPECT_TRUE(Mix_PlayingMusic()) << "the track did not resume";
  const std::uintmax_t mark = fs::file_size(heard);
  EXPECT_GE(FSOUND_PlaySound(-1, laser), 0);
  // The track is silence: the first sound written after the mark is the effect's.
  EXPECT_TRUE(tickUntil([&] { return heardSince(heard, mark); })) << "the effect is not heard";
}

TEST_F(SoundDeviceTest, ADeviceMissingAtStartIsAwaited) {
  // The output's folder is not there yet: SDL starts, its device does not open.
  setenv("SDL_DISKAUDIOFILE", (folder + "/later/heard.raw").c_str(), 1);
  ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1) << "a device that may come is no failed library";
  EXPECT_FALSE(soundDeviceOpen());
  FSOUND_SAMPLE* laser = FSOUND_Sample_Load(-1, (folder + "/Laser.wav").c_str(), FSOUND_2D, 0, 0);
  FSOUND_STREAM* title = FSOUND_Stream_Open((folder + "/TITLE.MP3").c_str(), 0x132, 0, 0);
  ASSERT_NE(laser, nullptr) << "a good sample must be kept for the device to come";
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(FSOUND_PlaySound(-1, laser), -1);
  EXPECT_GE(FSOUND_Stream_Play(-1, title), 0);

  fs::create_directory(folder + "/later");
  ASSERT_TRUE(tickUntil(true)) << "the device that appeared was never opened";
  EXPECT_TRUE(Mix_PlayingMusic()) << "the track the game started does not play";
  EXPECT_GE(FSOUND_PlaySound(-1, laser), 0);
  EXPECT_EQ(Mix_AllocateChannels(-1), 32);
}
