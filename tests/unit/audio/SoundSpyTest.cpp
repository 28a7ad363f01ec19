// The sound seam itself: what it starts, loads and records, and what it leaves behind.
#include "support/SoundSpy.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/Settings.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"

TEST(SoundSpy, FillsEverySlotAndRecordsBareFileNames) {
  SoundSpy spy;
  EXPECT_TRUE(spy.calls().empty()) << "the loading is not part of the record";
  for (int i = 0; i < kSampleCount; ++i) EXPECT_NE(soundBank[i].handle, nullptr) << sampleFiles[i];

  playSample(SfxLaser);
  playSample(SfxBlock01);
  musicPlayer.openMusic("LV01.MP3", true);
  EXPECT_EQ(spy.playedSamples(), (std::vector<std::string>{"Laser.wav", "Block01.Wav"}));
  EXPECT_EQ(spy.openedStreams(), std::vector<std::string>{"LV01.MP3"});
  EXPECT_EQ(spy.calls().size(), 3u);
  spy.clear();
  EXPECT_TRUE(spy.calls().empty());
}

TEST(SoundSpy, LeavesNothingBehind) {
  uint8_t savedSound = soundEnabled;
  uint8_t savedMusic = musicEnabled;
  soundEnabled = 0;
  musicEnabled = 0;
  std::string folder;
  {
    SoundSpy spy;
    folder = spy.folder();
    EXPECT_EQ(soundEnabled, 1);
    EXPECT_EQ(musicEnabled, 1);
    std::string track = folder + "/TITLE.MP3";
    ASSERT_TRUE(SoundSpy::writeMp3(track));
    musicPlayer.openMusic(track.c_str(), true);
    musicPlayer.playMusic();
    musicPlayer.beginMusicFadeOut();
    musicPlayer.fadeMusicStep();
  }
  EXPECT_EQ(soundEnabled, 0);
  EXPECT_EQ(musicEnabled, 0);
  for (const auto& slot : soundBank) EXPECT_EQ(slot.handle, nullptr);
  EXPECT_EQ(musicPlayer.stream, nullptr);
  EXPECT_EQ(musicPlayer.volume, 255);
  EXPECT_EQ(musicPlayer.playing, 0);
  EXPECT_EQ(musicPlayer.fading, 0);
  EXPECT_FALSE(std::filesystem::exists(folder));
  soundEnabled = savedSound;
  musicEnabled = savedMusic;
}
