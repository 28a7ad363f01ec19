// A sound device that goes away and comes back, through SDL's disk driver: writing into
// /dev/full makes SDL report the device lost, and its file is a link the test points elsewhere
// for the device to open again; a device SDL pauses stands for one whose mixer stops asking
// without a word. The game's handles stay valid throughout.
#include <SDL.h>
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
    setSoundClock(nullptr);
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

  // The game's clock for the mixer's silence, moved by the test.
  void driveTheClock() {
    setSoundClock([this] { return drivenNow; });
  }
  void advance(std::chrono::milliseconds by) { drivenNow += by; }

  CallRecorder recorder;  // closes what an earlier test left running
  std::chrono::steady_clock::time_point drivenNow = std::chrono::steady_clock::now();
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

// The device SDL has open for the mixer (SDL_mixer does not name it), or 0.
SDL_AudioDeviceID mixerDevice() {
  for (SDL_AudioDeviceID id = 2; id < 64; ++id)
    if (SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED) return id;
  return 0;
}

// Waits until the disk driver has written past the given size. Each write is one buffer the
// mixer was asked for; one may have been asked for before the size was taken, so two writes
// show the mixer asked since.
constexpr std::uintmax_t kBufferBytes = 1024 * 2 * 2;  // frames, channels, 16 bits
bool outputGrewPast(const std::string& file, std::uintmax_t size) {
  for (int i = 0; i < 1000; ++i) {  // ten seconds: only catches a mixer that never asks
    std::error_code error;
    if (fs::file_size(file, error) > size && !error) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST_F(SoundDeviceTest, AMixerThatStopsAskingIsLetGoAndTakenUpAgain) {
  // As SDL's PipeWire driver leaves it when its server dies: open, unpaused for all SDL says,
  // and no longer asking for sound. Here SDL pauses it, which stops the mixer's callback.
  driveTheClock();
  ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
  FSOUND_SAMPLE* laser = FSOUND_Sample_Load(-1, (folder + "/Laser.wav").c_str(), FSOUND_2D, 0, 0);
  FSOUND_STREAM* title = FSOUND_Stream_Open((folder + "/TITLE.MP3").c_str(), 0x132, 0, 0);
  ASSERT_NE(laser, nullptr);
  ASSERT_NE(title, nullptr);
  ASSERT_GE(FSOUND_Stream_Play(-1, title), 0);
  const SDL_AudioDeviceID device = mixerDevice();
  ASSERT_NE(device, 0u);
  SDL_PauseAudioDevice(device, 1);

  // A short silence is no lost device; a second of it is.
  for (int check = 0; check < 10; ++check) {
    keepSoundInStep();
    EXPECT_TRUE(soundDeviceOpen()) << "let go after " << check * 100 << " ms of silence";
    advance(std::chrono::milliseconds(100));
  }
  keepSoundInStep();
  ASSERT_FALSE(soundDeviceOpen()) << "a mixer quiet for a second is still taken for working";
  EXPECT_EQ(FSOUND_PlaySound(-1, laser), -1);

  // The same way back as after a device SDL reported gone: open again, the track restarts.
  ASSERT_TRUE(tickUntil(true)) << "the device was not opened again";
  EXPECT_EQ(SDL_GetAudioDeviceStatus(mixerDevice()), SDL_AUDIO_PLAYING);
  EXPECT_TRUE(Mix_PlayingMusic()) << "the track did not resume";
  EXPECT_GE(FSOUND_PlaySound(-1, laser), 0);
}

TEST_F(SoundDeviceTest, AnIdleMixerIsNotTakenForDead) {
  // Nothing plays: SDL still asks the mixer for every buffer (each is written to the file),
  // so seconds of a quiet game leave the device alone.
  driveTheClock();
  ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
  std::uintmax_t written = 0;
  for (int check = 0; check < 30; ++check) {
    ASSERT_TRUE(outputGrewPast(output, written + kBufferBytes)) << "the idle mixer is not asked";
    advance(std::chrono::milliseconds(100));
    keepSoundInStep();
    ASSERT_TRUE(soundDeviceOpen()) << "an idle mixer was let go after " << check * 100 << " ms";
    written = fs::file_size(output);
  }
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
