// Placeholder audio until the sound layer lands: silent, harmless.
#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"
#include "audio/SoundLibrary.h"

signed char FSOUND_Init(int, int, unsigned int) { return 0; }
void FSOUND_Close() {}
FSOUND_SAMPLE* FSOUND_Sample_Load(int, const char*, unsigned int, int, int) { return nullptr; }
int FSOUND_PlaySound(int, FSOUND_SAMPLE*) { return -1; }
void FSOUND_Sample_Free(FSOUND_SAMPLE*) {}
FSOUND_STREAM* FSOUND_Stream_Open(const char*, unsigned int, int, int) { return nullptr; }
int FSOUND_Stream_Play(int, FSOUND_STREAM*) { return -1; }
signed char FSOUND_SetVolume(int, int) { return 0; }
signed char FSOUND_Stream_Stop(FSOUND_STREAM*) { return 0; }
signed char FSOUND_Stream_Close(FSOUND_STREAM*) { return 0; }
void setSoundObserver(std::function<void(const SoundCall&)>) {}

const char* const sampleFiles[kSampleCount] = {
    "Block01.Wav", "Block02.Wav", "Block03.Wav",   "Block04.Wav", "Combo01.Wav",
    "Combo02.Wav", "LevelUp.wav", "Level.Wav",     "Death.Wav",   "Laser.wav",
    "highscore.wav", "hs-menu.wav", "ready-go.wav"};
SoundSample soundBank[kSampleCount];
bool loadSample(SoundSample&, const char*) { return true; }
void playSample(SoundSample&) {}
void freeSample(SoundSample&) {}

const char levelMusic[kMusicLevels][50] = {"LV01.MP3", "LV02.MP3", "LV03.MP3", "LV04.MP3",
                                           "LV05.MP3", "LV06.MP3", "LV07.MP3", "LV04.MP3",
                                           "TITLE.MP3", "END.MP3"};
MusicPlayer musicPlayer;
bool MusicPlayer::openMusic(const char*, bool) { return true; }
void MusicPlayer::playMusic() {}
void MusicPlayer::stopMusic() {}
void MusicPlayer::fadeMusicStep() {}
void MusicPlayer::beginMusicFadeOut() { fading = 1; }
void MusicPlayer::playLevelMusic(int) {}
