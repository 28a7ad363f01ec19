// The thirteen sound effects, loaded at start-up and played by the screens and the game.
#pragma once

struct FSOUND_SAMPLE;

struct SoundSample {
  FSOUND_SAMPLE* handle = nullptr;
};

// Slots in loading order.
enum Sfx : int {
  SfxBlock01,
  SfxBlock02,
  SfxBlock03,
  SfxBlock04,
  SfxCombo01,
  SfxCombo02,
  SfxLevelUp,
  SfxLevel,
  SfxDeath,
  SfxLaser,
  SfxHighscore,
  SfxHsMenu,
  SfxReadyGo,
  kSampleCount
};

extern const char* const sampleFiles[kSampleCount];
extern SoundSample soundBank[kSampleCount];

bool loadSample(SoundSample& slot, const char* fileName);
void playSample(SoundSample& slot);
void freeSample(SoundSample& slot);

inline void playSample(Sfx sfx) { playSample(soundBank[sfx]); }
