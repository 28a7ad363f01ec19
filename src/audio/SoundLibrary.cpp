// The game's ten sound library calls on SDL2_mixer: samples are chunks on free channels,
// streams are SDL_mixer's one music track. Every call is a no-op until audio has started.
// Each handle keeps its file's checked bytes, so that a device that goes away and comes back
// (a sound server restarting) gets every sample and the current track again.
#include "audio/SoundLibrary.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "audio/MixerHeartbeat.h"
#include "audio/QuietMp3Decoder.h"
#include "audio/SoundDeviceWatcher.h"
#include "audio/SoundFileRead.h"

struct FSOUND_SAMPLE {
  Mix_Chunk* chunk = nullptr;  // null while the device is away, and until decoded for a new one
  std::string file;
  std::string path;
  std::vector<uint8_t> bytes;
  bool refused = false;  // SDL would not decode it: it stays silent
};

struct FSOUND_STREAM {
  Mix_Music* music = nullptr;  // null while the device is away; it reads from bytes
  std::string file;
  std::string path;
  bool loop = false;
  // Shared with a lost device's music until the watcher has released it.
  std::shared_ptr<const std::vector<uint8_t>> bytes;
};

namespace {

// SDL_mixer has a single music track; this channel number stands for it in FSOUND_SetVolume.
constexpr int kMusicChannel = 1000;
constexpr int kFullVolume = 255;

bool audioStarted = false;  // FSOUND_Init succeeded: the layer runs, with or without a device
bool deviceOpen = false;    // the mixer is open and ours (not the watcher's)
int mixRate = 0;
int channelCount = 0;
int musicVolume = MIX_MAX_VOLUME;  // kept for the track when the device comes back
SoundDeviceWatcher watcher;
MixerHeartbeat heartbeat;
std::function<MixerHeartbeat::Clock::time_point()> clockSeam;
// Every live handle, so that FSOUND_Close can release them and a stale or foreign
// pointer is recognised and ignored instead of being dereferenced.
std::vector<std::unique_ptr<FSOUND_SAMPLE>> samples;
std::vector<std::unique_ptr<FSOUND_STREAM>> streams;
FSOUND_STREAM* playingStream = nullptr;  // the track the game wants heard, device or not
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

MixerHeartbeat::Clock::time_point now() {
  return clockSeam ? clockSeam() : MixerHeartbeat::Clock::now();
}

void SDLCALL mixerAsked(void*, Uint8*, int) { heartbeat.beat(); }

// The mixer just became the game's: its callback is watched from now on.
void listenToMixer() {
  Mix_SetPostMix(mixerAsked, nullptr);
  heartbeat.restart(now());
}

// Asked when audio did not start. A driver SDL does not have can never start: the library
// failed. One it has may only be waiting for its server (SDL's PipeWire driver does not start
// without one). SDL_AUDIODRIVER is a comma-separated list of names in any case.
bool audioDriverMayStart() {
  const char* wanted = SDL_GetHint(SDL_HINT_AUDIODRIVER);
  if (!wanted || !*wanted) return true;
  std::string_view names(wanted);
  while (!names.empty()) {
    const size_t comma = names.find(',');
    const std::string_view name = names.substr(0, comma);
    for (int i = 0; !name.empty() && i < SDL_GetNumAudioDrivers(); ++i) {
      const char* driver = SDL_GetAudioDriver(i);
      if (driver && std::strlen(driver) == name.size() &&
          SDL_strncasecmp(driver, name.data(), name.size()) == 0)
        return true;
    }
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
  }
  return false;
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

// SDL decodes from the bytes in place; the handle keeps them alive as long as SDL reads them.
bool decodeSample(FSOUND_SAMPLE& sample) {
  if (sample.chunk || sample.refused) return sample.chunk != nullptr;
  SDL_RWops* source = SDL_RWFromConstMem(sample.bytes.data(), int(sample.bytes.size()));
  sample.chunk = source ? Mix_LoadWAV_RW(source, 1) : nullptr;
  sample.refused = !sample.chunk;
  if (sample.refused) reportSilentSound(sample.path, SoundKind::Effect, "damaged");
  return sample.chunk != nullptr;
}

// After the device came back, one sample a tick is decoded for it (up to about 2 ms each), so
// the return never holds a tick up; a sample played before its turn is decoded then.
void decodeNextSample() {
  auto pending = std::find_if(samples.begin(), samples.end(), [](const auto& sample) {
    return !sample->chunk && !sample->refused;
  });
  if (pending != samples.end()) decodeSample(**pending);
}

bool decodeStream(FSOUND_STREAM& stream) {
  SDL_RWops* source = SDL_RWFromConstMem(stream.bytes->data(), int(stream.bytes->size()));
  stream.music = source ? Mix_LoadMUSType_RW(source, MUS_MP3, 1) : nullptr;
  if (!stream.music) reportSilentSound(stream.path, SoundKind::Track, "damaged");
  return stream.music != nullptr;
}

bool startTrack(FSOUND_STREAM& stream) {
  if (!stream.music && !decodeStream(stream)) return false;
  Mix_VolumeMusic(musicVolume);
  return Mix_PlayMusic(stream.music, stream.loop ? -1 : 0) == 0;
}

void haltStream(FSOUND_STREAM* stream) {
  if (stream != playingStream) return;
  if (deviceOpen) Mix_HaltMusic();
  playingStream = nullptr;
}

void releaseStream(FSOUND_STREAM* stream) {
  haltStream(stream);
  if (stream->music) Mix_FreeMusic(stream->music);
  forget(streams, stream);
}

// The device is gone: what SDL decoded for it goes, the bytes and the handles stay. The watcher
// releases the decoded sound and the dead mixer on its own thread (on a dead server that takes
// longer than a tick) and then waits for a device.
void loseDevice() {
  if (playingStream && !playingStream->loop && !Mix_PlayingMusic()) playingStream = nullptr;
  std::vector<Mix_Chunk*> chunks;
  for (auto& sample : samples) {
    if (sample->chunk) chunks.push_back(sample->chunk);
    sample->chunk = nullptr;
  }
  struct DecodedTrack {
    Mix_Music* music;
    std::shared_ptr<const std::vector<uint8_t>> bytes;  // what the music reads, until freed
  };
  std::vector<DecodedTrack> tracks;
  for (auto& stream : streams) {
    if (stream->music) tracks.push_back({stream->music, stream->bytes});
    stream->music = nullptr;
  }
  deviceOpen = false;
  watcher.start(mixRate, channelCount, [chunks = std::move(chunks), tracks = std::move(tracks)] {
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    for (Mix_Chunk* chunk : chunks) Mix_FreeChunk(chunk);
    for (const DecodedTrack& track : tracks) Mix_FreeMusic(track.music);
    closeSoundDevice();
  });
}

// The watcher opened a device: the wanted track starts over, the samples follow tick by tick.
void takeDeviceBack() {
  watcher.stop();
  deviceOpen = true;
  SDL_FlushEvents(SDL_AUDIODEVICEADDED, SDL_AUDIODEVICEREMOVED);
  listenToMixer();
  if (playingStream && !startTrack(*playingStream)) playingStream = nullptr;
}

bool deviceRemoved() {
  SDL_Event events[8];
  bool removed = false;
  int got = 0;
  while ((got = SDL_PeepEvents(events, 8, SDL_GETEVENT, SDL_AUDIODEVICEADDED,
                               SDL_AUDIODEVICEREMOVED)) > 0) {
    for (int i = 0; i < got; ++i)
      removed |= events[i].type == SDL_AUDIODEVICEREMOVED && !events[i].adevice.iscapture;
  }
  return removed;
}

}  // namespace

void setSoundObserver(std::function<void(const SoundCall&)> newObserver) {
  observer = std::move(newObserver);
}

void setSoundClock(std::function<std::chrono::steady_clock::time_point()> clock) {
  clockSeam = std::move(clock);
}

void keepSoundInStep() {
  if (!audioStarted) return;
  if (deviceOpen) {
    // Either SDL says the device went, or the mixer stopped asking for sound without a word.
    if (deviceRemoved() || heartbeat.stopped(now()))
      loseDevice();
    else
      decodeNextSample();
  } else if (watcher.ready()) {
    takeDeviceBack();
  }
}

bool soundDeviceOpen() { return deviceOpen; }
int soundDeviceAttempts() { return watcher.attempts(); }

signed char FSOUND_Init(int rate, int maxChannels, unsigned int /*flags: none apply*/) {
  if (!audioStarted) {
    // The game installs its own SIGINT/SIGTERM handler; SDL's would fight it.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    quietAlsaErrors();
    // Asked here so that the decoder's quieting wrapper is linked into every program with sound.
    static_cast<void>(mp3DecoderIsQuiet());
    // A driver without a device (no server yet, no card) is a device that may still come.
    if (SDL_Init(SDL_INIT_EVENTS) == 0) {
      Mix_Init(MIX_INIT_MP3);  // without an MP3 decoder the effects still work
      mixRate = rate;
      channelCount = std::max(maxChannels, 1);
      deviceOpen = openSoundDevice(mixRate, channelCount);
      audioStarted = deviceOpen || audioDriverMayStart();
    }
    if (audioStarted) {
      musicVolume = MIX_MAX_VOLUME;
      if (deviceOpen)
        listenToMixer();
      else
        watcher.start(mixRate, channelCount);
    } else {
      channelCount = 0;
      Mix_Quit();
      SDL_Quit();
    }
  }
  report("FSOUND_Init", "", audioStarted, audioStarted);
  return audioStarted ? 1 : 0;
}

void FSOUND_Close() {
  if (audioStarted) {
    watcher.stop();
    if (watcher.ready()) deviceOpen = true;
    if (deviceOpen) {
      Mix_HaltChannel(-1);
      Mix_HaltMusic();
    }
    playingStream = nullptr;
    for (auto& sample : samples)
      if (sample->chunk) Mix_FreeChunk(sample->chunk);
    for (auto& stream : streams)
      if (stream->music) Mix_FreeMusic(stream->music);
    samples.clear();
    streams.clear();
    if (deviceOpen) closeSoundDevice();
    Mix_Quit();
    SDL_Quit();
    audioStarted = false;
    deviceOpen = false;
    channelCount = 0;
  }
  report("FSOUND_Close", "", 0, 0);
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int, const char* name, unsigned int mode, int, int) {
  FSOUND_SAMPLE* handle = nullptr;
  std::vector<uint8_t> bytes;
  if (audioStarted && name && readSoundFile(name, SoundKind::Effect, bytes)) {
    auto sample = std::make_unique<FSOUND_SAMPLE>(
        FSOUND_SAMPLE{nullptr, baseName(name), name, std::move(bytes)});
    // While the device is away the sample waits, checked, for the device's return.
    if (!deviceOpen || decodeSample(*sample)) {
      samples.push_back(std::move(sample));
      handle = samples.back().get();
    }
  }
  report("FSOUND_Sample_Load", baseName(name), static_cast<int>(mode), handle != nullptr);
  return handle;
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample) {
  int used = -1;
  if (audioStarted && deviceOpen && isLive(samples, sample) && decodeSample(*sample)) {
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
    if (sample->chunk) Mix_FreeChunk(sample->chunk);  // also halts the channels still playing it
    forget(samples, sample);
  }
  report("FSOUND_Sample_Free", std::move(file), 0, 0);
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* name, unsigned int mode, int, int) {
  FSOUND_STREAM* handle = nullptr;
  std::vector<uint8_t> bytes;
  if (audioStarted && name && readSoundFile(name, SoundKind::Track, bytes)) {
    bool loop = (mode & FSOUND_LOOP_NORMAL) != 0;
    auto stream = std::make_unique<FSOUND_STREAM>(
        FSOUND_STREAM{nullptr, baseName(name), name, loop,
                      std::make_shared<const std::vector<uint8_t>>(std::move(bytes))});
    if (!deviceOpen || decodeStream(*stream)) {
      streams.push_back(std::move(stream));
      handle = streams.back().get();
    }
  }
  report("FSOUND_Stream_Open", baseName(name), static_cast<int>(mode), handle != nullptr);
  return handle;
}

int FSOUND_Stream_Play(int, FSOUND_STREAM* stream) {
  int used = -1;
  if (audioStarted && isLive(streams, stream)) {
    musicVolume = MIX_MAX_VOLUME;
    // Without a device the track is what the game wants heard: it starts when one comes.
    if (!deviceOpen || startTrack(*stream)) {
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
      musicVolume = mixerVolume(volume);
      if (deviceOpen) Mix_VolumeMusic(musicVolume);
      ok = true;
    } else if (deviceOpen && channel >= 0 && channel < channelCount) {
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
  if (ok) haltStream(stream);
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
