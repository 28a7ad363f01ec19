// The ten calls of the game's sound library, with their arguments and results, on SDL2_mixer.
// Every call is harmless when audio never started or was closed, and while the device is gone.
#pragma once
#include <chrono>
#include <functional>
#include <string>

struct FSOUND_SAMPLE;
struct FSOUND_STREAM;

inline constexpr int FSOUND_FREE = -1;
inline constexpr unsigned FSOUND_LOOP_NORMAL = 0x2;
inline constexpr unsigned FSOUND_16BITS = 0x10;
inline constexpr unsigned FSOUND_MONO = 0x20;
inline constexpr unsigned FSOUND_SIGNED = 0x100;
inline constexpr unsigned FSOUND_2D = 0x2000;

signed char FSOUND_Init(int mixRate, int maxChannels, unsigned int flags);
void FSOUND_Close();
FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* name, unsigned int mode, int offset,
                                  int length);
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample);
void FSOUND_Sample_Free(FSOUND_SAMPLE* sample);
FSOUND_STREAM* FSOUND_Stream_Open(const char* name, unsigned int mode, int offset, int length);
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
signed char FSOUND_SetVolume(int channel, int volume);
signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream);
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);

// Once a tick: a device SDL reports gone, or whose mixer has stopped asking for sound for a
// second, is let go of (the game plays on silently, its handles stay valid), and one the
// watcher found again is taken up: every sample sounds again and the track the game last
// started plays again from its start. Cheap when nothing changed.
void keepSoundInStep();
// The mixer is open and sounding (not gone, and not before FSOUND_Init).
bool soundDeviceOpen();
// Test seam: how often the device has been tried again since it was last found missing.
int soundDeviceAttempts();

// Test seam: when set, every call above is reported after it ran, with the file behind
// its handle (empty for a null, freed or unknown handle) and its numeric argument or result.
struct SoundCall {
  std::string call;  // "FSOUND_PlaySound", "FSOUND_SetVolume", ...
  std::string file;  // file name (no folder) the sample or stream was loaded from, or the name
                     // passed to a load or open, also when it failed
  int value = 0;     // volume for FSOUND_SetVolume, mode for the two loads/opens, result otherwise
  int result = 0;    // the call's result: handles as 1 (non-null) or 0, channels as returned,
                     // 0 for the calls without one
  bool operator==(const SoundCall&) const = default;
};
void setSoundObserver(std::function<void(const SoundCall&)> observer);

// Test seam: the steady clock the mixer's silence is measured by; empty for the real one.
void setSoundClock(std::function<std::chrono::steady_clock::time_point()> clock);
