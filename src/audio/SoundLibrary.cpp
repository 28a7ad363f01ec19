// The game's ten sound library calls on SDL2_mixer: samples are chunks on free channels,
// streams are SDL_mixer's one music track. Every call is a no-op until audio has started.
#include "audio/SoundLibrary.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <vector>

struct FSOUND_SAMPLE {
  Mix_Chunk* chunk = nullptr;
  std::string file;
};

struct FSOUND_STREAM {
  Mix_Music* music = nullptr;
  std::string file;
  bool loop = false;
};

namespace {

// SDL_mixer has a single music track; this channel number stands for it in FSOUND_SetVolume.
constexpr int kMusicChannel = 1000;
constexpr int kFullVolume = 255;

bool audioStarted = false;
int channelCount = 0;
// Every live handle, so that FSOUND_Close can release them and a stale or foreign
// pointer is recognised and ignored instead of being dereferenced.
std::vector<std::unique_ptr<FSOUND_SAMPLE>> samples;
std::vector<std::unique_ptr<FSOUND_STREAM>> streams;
FSOUND_STREAM* playingStream = nullptr;
std::function<void(const SoundCall&)> observer;

std::string baseName(const char* path) {
  if (!path) return "";
  std::string name(path);
  size_t slash = name.find_last_of('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

template <typename T>
bool isLive(const std::vector<std::unique_ptr<T>>& list, const T* handle) {
  return handle && std::any_of(list.begin(), list.end(),
                               [handle](const auto& owned) { return owned.get() == handle; });
}

template <typename T>
void forget(std::vector<std::unique_ptr<T>>& list, const T* handle) {
  std::erase_if(list, [handle](const auto& owned) { return owned.get() == handle; });
}

std::string sampleFile(const FSOUND_SAMPLE* sample) {
  return isLive(samples, sample) ? sample->file : "";
}

std::string streamFile(const FSOUND_STREAM* stream) {
  return isLive(streams, stream) ? stream->file : "";
}

void report(const char* call, std::string file, int value, int result) {
  if (observer) observer(SoundCall{call, std::move(file), value, result});
}

int mixerVolume(int volume) {
  return std::clamp(volume, 0, kFullVolume) * MIX_MAX_VOLUME / kFullVolume;
}

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Where no sound card answers, ALSA prints its own device errors to stderr while SDL looks for
// one; the game then starts silent, so those lines tell the player nothing. SDL opens the same
// libasound.so.2, which this reference keeps loaded with the quiet handler for the whole run.
// Without ALSA there is nothing to quiet.
void quietAlsaErrors() {
  using ErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
  if (!alsa) return;
  auto setHandler =
      reinterpret_cast<int (*)(ErrorHandler)>(dlsym(alsa, "snd_lib_error_set_handler"));
  if (setHandler) setHandler(ignoreAlsaError);
}

void releaseStream(FSOUND_STREAM* stream) {
  if (stream == playingStream) {
    Mix_HaltMusic();
    playingStream = nullptr;
  }
  Mix_FreeMusic(stream->music);
  forget(streams, stream);
}

}  // namespace

void setSoundObserver(std::function<void(const SoundCall&)> newObserver) {
  observer = std::move(newObserver);
}

signed char FSOUND_Init(int mixRate, int maxChannels, unsigned int /*flags: none apply*/) {
  bool ok = audioStarted;
  if (!audioStarted) {
    // The game installs its own SIGINT/SIGTERM handler; SDL's would fight it.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    quietAlsaErrors();
    if (SDL_Init(SDL_INIT_AUDIO) == 0) {
      Mix_Init(MIX_INIT_MP3);  // without an MP3 decoder the effects still work
      if (Mix_OpenAudio(mixRate, MIX_DEFAULT_FORMAT, 2, 1024) == 0) {
        channelCount = Mix_AllocateChannels(std::max(maxChannels, 1));
        audioStarted = ok = true;
      } else {
        Mix_Quit();
      }
    }
    if (!ok) SDL_Quit();
  }
  report("FSOUND_Init", "", ok, ok);
  return ok ? 1 : 0;
}

void FSOUND_Close() {
  if (audioStarted) {
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    playingStream = nullptr;
    for (auto& sample : samples) Mix_FreeChunk(sample->chunk);
    for (auto& stream : streams) Mix_FreeMusic(stream->music);
    samples.clear();
    streams.clear();
    Mix_CloseAudio();
    Mix_Quit();
    SDL_Quit();
    audioStarted = false;
    channelCount = 0;
  }
  report("FSOUND_Close", "", 0, 0);
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int, const char* name, unsigned int mode, int, int) {
  FSOUND_SAMPLE* handle = nullptr;
  if (audioStarted && name) {
    if (Mix_Chunk* chunk = Mix_LoadWAV(name)) {
      samples.push_back(std::make_unique<FSOUND_SAMPLE>(FSOUND_SAMPLE{chunk, baseName(name)}));
      handle = samples.back().get();
    }
  }
  report("FSOUND_Sample_Load", baseName(name), static_cast<int>(mode), handle != nullptr);
  return handle;
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample) {
  int used = -1;
  if (audioStarted && isLive(samples, sample)) {
    // Any free channel: the same sample may sound on several at once.
    int wanted = channel >= 0 && channel < channelCount ? channel : -1;
    used = Mix_PlayChannel(wanted, sample->chunk, 0);
    if (used < 0) used = -1;
  }
  report("FSOUND_PlaySound", sampleFile(sample), used, used);
  return used;
}

void FSOUND_Sample_Free(FSOUND_SAMPLE* sample) {
  std::string file = sampleFile(sample);
  if (audioStarted && isLive(samples, sample)) {
    Mix_FreeChunk(sample->chunk);  // also halts the channels still playing it
    forget(samples, sample);
  }
  report("FSOUND_Sample_Free", std::move(file), 0, 0);
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* name, unsigned int mode, int, int) {
  FSOUND_STREAM* handle = nullptr;
  if (audioStarted && name) {
    if (Mix_Music* music = Mix_LoadMUS(name)) {
      bool loop = (mode & FSOUND_LOOP_NORMAL) != 0;
      streams.push_back(
          std::make_unique<FSOUND_STREAM>(FSOUND_STREAM{music, baseName(name), loop}));
      handle = streams.back().get();
    }
  }
  report("FSOUND_Stream_Open", baseName(name), static_cast<int>(mode), handle != nullptr);
  return handle;
}

int FSOUND_Stream_Play(int, FSOUND_STREAM* stream) {
  int used = -1;
  if (audioStarted && isLive(streams, stream)) {
    Mix_VolumeMusic(MIX_MAX_VOLUME);
    if (Mix_PlayMusic(stream->music, stream->loop ? -1 : 0) == 0) {
      playingStream = stream;
      used = kMusicChannel;
    } else {
      playingStream = nullptr;
    }
  }
  report("FSOUND_Stream_Play", streamFile(stream), used, used);
  return used;
}

signed char FSOUND_SetVolume(int channel, int volume) {
  bool ok = false;
  if (audioStarted) {
    if (channel == kMusicChannel) {
      Mix_VolumeMusic(mixerVolume(volume));
      ok = true;
    } else if (channel >= 0 && channel < channelCount) {
      Mix_Volume(channel, mixerVolume(volume));
      ok = true;
    }
  }
  std::string file = channel == kMusicChannel && playingStream ? playingStream->file : "";
  report("FSOUND_SetVolume", std::move(file), volume, ok);
  return ok ? 1 : 0;
}

signed char FSOUND_Stream_Stop(FSOUND_STREAM* stream) {
  bool ok = audioStarted && isLive(streams, stream);
  if (ok && stream == playingStream) {
    Mix_HaltMusic();
    playingStream = nullptr;
  }
  report("FSOUND_Stream_Stop", streamFile(stream), ok, ok);
  return ok ? 1 : 0;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream) {
  std::string file = streamFile(stream);
  bool ok = audioStarted && isLive(streams, stream);
  if (ok) releaseStream(stream);
  report("FSOUND_Stream_Close", std::move(file), ok, ok);
  return ok ? 1 : 0;
}
