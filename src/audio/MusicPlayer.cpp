// The one streamed-music player: open, play, stop, and a fade-out of one volume step per call.
#include "audio/MusicPlayer.h"

#include <algorithm>

#include "app/Settings.h"
#include "audio/SoundLibrary.h"

namespace {
constexpr int16_t kFullVolume = 255;
constexpr int16_t kFadeStep = 2;
constexpr unsigned kStreamMode = FSOUND_16BITS | FSOUND_MONO | FSOUND_SIGNED;  // 0x130
}  // namespace

const char levelMusic[kMusicLevels][50] = {"LV01.MP3",  "LV02.MP3", "LV03.MP3", "LV04.MP3",
                                           "LV05.MP3",  "LV06.MP3", "LV07.MP3", "LV04.MP3",
                                           "TITLE.MP3", "END.MP3"};

MusicPlayer musicPlayer;

bool MusicPlayer::openMusic(const char* fileName, bool loop) {
  if (!musicEnabled) return true;
  stopMusic();
  volume = kFullVolume;
  // Opened anew every time, so the same track starts again from its beginning.
  stream =
      FSOUND_Stream_Open(fileName, loop ? kStreamMode | FSOUND_LOOP_NORMAL : kStreamMode, 0, 0);
  return true;
}

void MusicPlayer::playMusic() {
  if (!musicEnabled) return;
  fading = 0;
  playing = 1;
  channel = FSOUND_Stream_Play(FSOUND_FREE, stream);
}

void MusicPlayer::stopMusic() {
  if (!musicEnabled) return;
  playing = 0;
  fading = 0;
  if (stream) {
    FSOUND_Stream_Stop(stream);
    FSOUND_Stream_Close(stream);
    stream = nullptr;
  }
}

void MusicPlayer::fadeMusicStep() {
  if (!musicEnabled || !playing || !fading) return;
  if (volume == 0) {
    fading = 0;
    stopMusic();
    return;
  }
  volume = static_cast<int16_t>(std::max(volume - kFadeStep, 0));
  FSOUND_SetVolume(channel, volume);
}

void MusicPlayer::beginMusicFadeOut() { fading = 1; }

void MusicPlayer::playLevelMusic(int level) {
  // Levels past the table keep its last track ("END.MP3").
  int row = std::clamp(level, 0, kMusicLevels - 1);
  stopMusic();
  openMusic(levelMusic[row], true);
  playMusic();
}
