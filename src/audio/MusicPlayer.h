// The single streamed-music player: one looping track at a time, with a stepped fade-out.
#pragma once
#include <cstdint>

struct FSOUND_STREAM;

inline constexpr int kMusicLevels = 10;
extern const char levelMusic[kMusicLevels][50];

struct MusicPlayer {
  FSOUND_STREAM* stream = nullptr;
  int32_t channel = 0;
  int16_t volume = 255;
  uint8_t fading = 0;
  uint8_t playing = 0;

  bool openMusic(const char* fileName, bool loop);
  void playMusic();
  void stopMusic();
  void fadeMusicStep();
  void beginMusicFadeOut();
  // The level's track from its start, looping; levels from 10 on play the last row.
  void playLevelMusic(int level);
};

extern MusicPlayer musicPlayer;
