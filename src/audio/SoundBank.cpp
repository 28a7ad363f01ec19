// The thirteen sound effect slots: loaded once at start-up, played by the screens and the game.
#include "audio/SoundBank.h"

#include "app/Settings.h"
#include "audio/SoundLibrary.h"

const char* const sampleFiles[kSampleCount] = {
    "Block01.Wav",   "Block02.Wav", "Block03.Wav", "Block04.Wav", "Combo01.Wav",
    "Combo02.Wav",   "LevelUp.wav", "Level.Wav",   "Death.Wav",   "Laser.wav",
    "highscore.wav", "hs-menu.wav", "ready-go.wav"};

SoundSample soundBank[kSampleCount];

bool loadSample(SoundSample& slot, const char* fileName) {
  if (!soundEnabled) return true;
  freeSample(slot);
  slot.handle = FSOUND_Sample_Load(FSOUND_FREE, fileName, FSOUND_2D, 0, 0);
  return slot.handle != nullptr;
}

void playSample(SoundSample& slot) {
  // An empty slot is passed on as it is: the library plays nothing for it.
  if (soundEnabled) FSOUND_PlaySound(FSOUND_FREE, slot.handle);
}

void freeSample(SoundSample& slot) {
  if (!soundEnabled || !slot.handle) return;
  FSOUND_Sample_Free(slot.handle);
  slot.handle = nullptr;
}
