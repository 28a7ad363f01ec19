// The effect bank: file names per slot, the soundEnabled gate, reloading, and empty slots.
#include "audio/SoundBank.h"

#include <gtest/gtest.h>

#include "CallRecorder.h"
#include "app/Settings.h"
#include "support/SoundSpy.h"

TEST(SoundBank, SlotsNameTheRealFilesInLoadingOrder) {
  // The names are read from a case-sensitive file system, so the mixed case matters.
  struct Slot {
    Sfx sfx;
    const char* file;
  };
  const Slot slots[] = {
      {SfxBlock01, "Block01.Wav"},  {SfxBlock02, "Block02.Wav"},     {SfxBlock03, "Block03.Wav"},
      {SfxBlock04, "Block04.Wav"},  {SfxCombo01, "Combo01.Wav"},     {SfxCombo02, "Combo02.Wav"},
      {SfxLevelUp, "LevelUp.wav"},  {SfxLevel, "Level.Wav"},         {SfxDeath, "Death.Wav"},
      {SfxLaser, "Laser.wav"},      {SfxHighscore, "highscore.wav"}, {SfxHsMenu, "hs-menu.wav"},
      {SfxReadyGo, "ready-go.wav"},
  };
  ASSERT_EQ(std::size(slots), size_t{kSampleCount});
  for (size_t i = 0; i < std::size(slots); ++i) {
    EXPECT_EQ(slots[i].sfx, static_cast<int>(i));
    EXPECT_STREQ(sampleFiles[slots[i].sfx], slots[i].file);
  }
}

TEST(SoundBank, EffectsOffLoadsPlaysAndFreesNothing) {
  SoundSpy spy;
  FSOUND_SAMPLE* laser = soundBank[SfxLaser].handle;
  SoundSample empty;
  std::string path = spy.folder() + "/Death.Wav";

  soundEnabled = 0;
  EXPECT_TRUE(loadSample(empty, path.c_str()));
  EXPECT_EQ(empty.handle, nullptr);
  EXPECT_TRUE(loadSample(soundBank[SfxLaser], path.c_str()));
  playSample(SfxLaser);
  playSample(empty);
  freeSample(soundBank[SfxLaser]);
  EXPECT_TRUE(spy.calls().empty());
  EXPECT_EQ(soundBank[SfxLaser].handle, laser)
      << "a loaded sample was dropped while effects were off";

  // Switched on again, the loaded sample sounds without a reload.
  soundEnabled = 1;
  playSample(SfxLaser);
  EXPECT_EQ(spy.playedSamples(), std::vector<std::string>{"Laser.wav"});
  EXPECT_GE(spy.calls().at(0).result, 0);
}

TEST(SoundBank, LoadingASlotAgainFreesItsOldSampleFirst) {
  SoundSpy spy;
  std::string death = spy.folder() + "/Death.Wav";
  EXPECT_TRUE(loadSample(soundBank[SfxLaser], death.c_str()));
  std::vector<SoundCall> expected = {
      {"FSOUND_Sample_Free", "Laser.wav", 0, 0},
      {"FSOUND_Sample_Load", "Death.Wav", 0x2000, 1},
  };
  EXPECT_EQ(spy.calls(), expected);
  spy.clear();
  playSample(SfxLaser);
  EXPECT_EQ(spy.playedSamples(), std::vector<std::string>{"Death.Wav"});
}

TEST(SoundBank, MissingFileLeavesTheSlotEmptyAndSilent) {
  SoundSpy spy;
  std::string missing = spy.folder() + "/gone/Laser.wav";
  EXPECT_FALSE(loadSample(soundBank[SfxLaser], missing.c_str()));
  EXPECT_EQ(soundBank[SfxLaser].handle, nullptr);
  spy.clear();

  // The other effects still sound; the empty slot reaches the library and plays nothing.
  playSample(SfxDeath);
  playSample(SfxLaser);
  EXPECT_EQ(spy.playedSamples(), (std::vector<std::string>{"Death.Wav", ""}));
  ASSERT_EQ(spy.calls().size(), 2u);
  EXPECT_GE(spy.calls()[0].result, 0);
  EXPECT_EQ(spy.calls()[1].result, -1);
  freeSample(soundBank[SfxLaser]);
  EXPECT_EQ(spy.calls().size(), 2u) << "an empty slot has nothing to free";
}

TEST(SoundBank, EventsInOneTickSoundTogether) {
  SoundSpy spy;
  playSample(SfxCombo01);
  playSample(SfxBlock03);
  auto calls = spy.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(spy.playedSamples(), (std::vector<std::string>{"Combo01.Wav", "Block03.Wav"}));
  EXPECT_GE(calls[0].result, 0);
  EXPECT_GE(calls[1].result, 0);
  EXPECT_NE(calls[0].result, calls[1].result) << "the second sample cut off the first";
}

TEST(SoundBank, EffectsSwitchedOnWithoutAudioStaySilent) {
  // The options screen can switch effects on although the library never started.
  CallRecorder recorder;
  soundEnabled = 1;
  SoundSample slot;
  EXPECT_FALSE(loadSample(slot, "Laser.wav"));
  EXPECT_EQ(slot.handle, nullptr);
  playSample(slot);
  playSample(SfxDeath);
  freeSample(slot);
  std::vector<SoundCall> expected = {
      {"FSOUND_Sample_Load", "Laser.wav", 0x2000, 0},
      {"FSOUND_PlaySound", "", -1, -1},
      {"FSOUND_PlaySound", "", -1, -1},
  };
  EXPECT_EQ(recorder.calls, expected);
}
