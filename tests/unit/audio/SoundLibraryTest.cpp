// The SDL_mixer sound layer: start and failure, samples on channels, the one music stream, and
// every call staying harmless before start-up, after close and with stale or null handles.
#include "audio/SoundLibrary.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "CallRecorder.h"
#include "MixedSound.h"
#include "audio/SoundBank.h"
#include "support/SoundSpy.h"

namespace {

// Each of the ten calls with a given sample and stream handle, and what it must answer when
// there is no audio to act on.
struct DeadCall {
  const char* name;
  std::function<int(FSOUND_SAMPLE*, FSOUND_STREAM*)> run;
  int expected;
  const char* file = "";  // loads and opens report the name they were given
};

const DeadCall kDeadCalls[] = {
    {"FSOUND_Sample_Load",
     [](FSOUND_SAMPLE*, FSOUND_STREAM*) {
       return FSOUND_Sample_Load(-1, "Laser.wav", FSOUND_2D, 0, 0) != nullptr;
     },
     0, "Laser.wav"},
    {"FSOUND_PlaySound", [](FSOUND_SAMPLE* s, FSOUND_STREAM*) { return FSOUND_PlaySound(-1, s); },
     -1},
    {"FSOUND_Sample_Free",
     [](FSOUND_SAMPLE* s, FSOUND_STREAM*) {
       FSOUND_Sample_Free(s);
       return 0;
     },
     0},
    {"FSOUND_Stream_Open",
     [](FSOUND_SAMPLE*, FSOUND_STREAM*) {
       return FSOUND_Stream_Open("TITLE.MP3", 0x132, 0, 0) != nullptr;
     },
     0, "TITLE.MP3"},
    {"FSOUND_Stream_Play",
     [](FSOUND_SAMPLE*, FSOUND_STREAM* m) { return FSOUND_Stream_Play(-1, m); }, -1},
    {"FSOUND_SetVolume",
     [](FSOUND_SAMPLE*, FSOUND_STREAM*) { return int{FSOUND_SetVolume(1000, 100)}; }, 0},
    {"FSOUND_SetVolume",
     [](FSOUND_SAMPLE*, FSOUND_STREAM*) { return int{FSOUND_SetVolume(0, 100)}; }, 0},
    {"FSOUND_Stream_Stop",
     [](FSOUND_SAMPLE*, FSOUND_STREAM* m) { return int{FSOUND_Stream_Stop(m)}; }, 0},
    {"FSOUND_Stream_Close",
     [](FSOUND_SAMPLE*, FSOUND_STREAM* m) { return int{FSOUND_Stream_Close(m)}; }, 0},
    {"FSOUND_Close",
     [](FSOUND_SAMPLE*, FSOUND_STREAM*) {
       FSOUND_Close();
       return 0;
     },
     0},
};

// Runs every call with the given handles and checks the null answers; each call must still be
// reported, with no file behind a handle that is not live.
void expectAllCallsDead(FSOUND_SAMPLE* sample, FSOUND_STREAM* stream, CallRecorder& recorder) {
  for (const DeadCall& dead : kDeadCalls) {
    SCOPED_TRACE(dead.name);
    recorder.calls.clear();
    EXPECT_EQ(dead.run(sample, stream), dead.expected);
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].call, dead.name);
    EXPECT_EQ(recorder.calls[0].result, dead.expected);
    EXPECT_EQ(recorder.calls[0].file, dead.file);
  }
}

}  // namespace

TEST(SoundLibraryWithoutAudio, EveryCallIsHarmlessWithNullHandles) {
  CallRecorder recorder;
  expectAllCallsDead(nullptr, nullptr, recorder);
}

TEST(SoundLibraryWithoutAudio, ForeignPointersAreNeverDereferenced) {
  // Handles the layer never gave out (here pointers into an unrelated buffer) are ignored.
  CallRecorder recorder;
  alignas(16) static unsigned char junk[64] = {};
  expectAllCallsDead(reinterpret_cast<FSOUND_SAMPLE*>(junk), reinterpret_cast<FSOUND_STREAM*>(junk),
                     recorder);
}

TEST(SoundLibraryWithoutAudio, HandlesHeldAcrossCloseAreDead) {
  // The game keeps its sample handles in the bank when it closes audio; nothing may touch
  // the released memory afterwards (AddressSanitizer watches).
  CallRecorder recorder;
  SoundSpy spy;
  std::string track = spy.folder() + "/TITLE.MP3";
  ASSERT_TRUE(SoundSpy::writeMp3(track));
  FSOUND_SAMPLE* sample =
      FSOUND_Sample_Load(-1, (spy.folder() + "/Laser.wav").c_str(), 0x2000, 0, 0);
  FSOUND_STREAM* stream = FSOUND_Stream_Open(track.c_str(), 0x132, 0, 0);
  ASSERT_NE(sample, nullptr);
  ASSERT_NE(stream, nullptr);
  ASSERT_GE(FSOUND_PlaySound(-1, sample), 0);
  ASSERT_GE(FSOUND_Stream_Play(-1, stream), 0);

  FSOUND_Close();
  EXPECT_FALSE(Mix_QuerySpec(nullptr, nullptr, nullptr)) << "the audio device is still open";
  setSoundObserver([&recorder](const SoundCall& call) { recorder.calls.push_back(call); });
  expectAllCallsDead(sample, stream, recorder);
}

TEST(SoundLibraryInit, FailsWithoutAnAudioDriverAndCanStartLater) {
  // A driver SDL does not have: no sound can ever come, the library failed.
  CallRecorder recorder;
  setenv("SDL_AUDIODRIVER", "nonexistent", 1);
  EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
  EXPECT_EQ(SDL_WasInit(0), 0u) << "SDL left running after a failed start";
  expectAllCallsDead(nullptr, nullptr, recorder);

  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
  EXPECT_TRUE(soundDeviceOpen());
  EXPECT_EQ(Mix_AllocateChannels(-1), 32);
  int rate = 0;
  EXPECT_TRUE(Mix_QuerySpec(&rate, nullptr, nullptr));
  EXPECT_EQ(rate, 44100);
  FSOUND_Close();
  EXPECT_EQ(SDL_WasInit(0), 0u);
}

// SDL_AUDIODRIVER as SDL reads it: a list of driver names in any case. A driver SDL has that
// cannot start yet (PipeWire without its server) is waited for; only a list naming none of
// SDL's drivers is a failed library.
TEST(SoundLibraryInit, ADriverSDLHasIsWaitedForAndOnlyAnUnknownOneFails) {
  bool hasPipeWire = false;
  for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i)
    hasPipeWire |= std::string(SDL_GetAudioDriver(i)) == "pipewire";
  struct Case {
    const char* driver;
    int started;
    bool open;
  };
  const Case cases[] = {
      {"nonexistent,dummy", 1, true},
      {"DUMMY", 1, true},
      {"dumm", 0, false},
      {"dummyx", 0, false},
      // Without PipeWire in SDL (another build of it) the name is unknown, and fails.
      {"pipewire", hasPipeWire ? 1 : 0, false},
  };
  char pattern[] = "/tmp/zeph-runtime-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  const std::string savedRuntime = runtime ? runtime : "";
  setenv("XDG_RUNTIME_DIR", pattern, 1);  // where no PipeWire server listens
  for (const Case& c : cases) {
    SCOPED_TRACE(c.driver);
    CallRecorder recorder;
    setenv("SDL_AUDIODRIVER", c.driver, 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), c.started);
    EXPECT_EQ(soundDeviceOpen(), c.open);
    FSOUND_Close();
    EXPECT_EQ(SDL_WasInit(0), 0u);
  }
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (runtime)
    setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
  else
    unsetenv("XDG_RUNTIME_DIR");
  rmdir(pattern);
}

// No sound card answers: SDL's ALSA backend is asked for a card that is not there (AUDIODEV is
// the device it opens). The library runs and waits for a device, and ALSA's own complaints stay
// off the player's terminal, also while it keeps asking.
TEST(SoundLibraryInit, AMissingSoundCardIsAwaitedWithoutALine) {
  CallRecorder recorder;
  setenv("SDL_AUDIODRIVER", "alsa", 1);
  setenv("AUDIODEV", "hw:CARD=ZephNoSuchCard", 1);
  testing::internal::CaptureStderr();
  const int started = FSOUND_Init(44100, 32, 0);
  // Two more attempts, however long a busy machine takes for them; only a stuck watcher takes a
  // minute.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (soundDeviceAttempts() < 2 && std::chrono::steady_clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const int attempts = soundDeviceAttempts();
  keepSoundInStep();
  const bool open = soundDeviceOpen();
  FSOUND_Close();
  const std::string printed = testing::internal::GetCapturedStderr();
  unsetenv("AUDIODEV");
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_EQ(started, 1);
  EXPECT_GE(attempts, 2);
  EXPECT_FALSE(open);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(SDL_WasInit(0), 0u);
}

TEST(SoundLibrarySamples, LoadPlayFreeAndMissingFiles) {
  SoundSpy spy;
  const std::string laser = spy.folder() + "/Laser.wav";

  FSOUND_SAMPLE* missing =
      FSOUND_Sample_Load(-1, (spy.folder() + "/nope.wav").c_str(), 0x2000, 0, 0);
  EXPECT_EQ(missing, nullptr);
  FSOUND_SAMPLE* sample = FSOUND_Sample_Load(-1, laser.c_str(), 0x2000, 0, 0);
  ASSERT_NE(sample, nullptr);

  // The same sample sounds on two channels at once.
  int first = FSOUND_PlaySound(-1, sample);
  int second = FSOUND_PlaySound(-1, sample);
  EXPECT_GE(first, 0);
  EXPECT_GE(second, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(Mix_Playing(first), 1);
  EXPECT_EQ(Mix_Playing(second), 1);

  FSOUND_Sample_Free(sample);
  EXPECT_EQ(Mix_Playing(first), 0) << "a freed sample still sounds";
  EXPECT_EQ(FSOUND_PlaySound(-1, sample), -1);
  FSOUND_Sample_Free(sample);  // twice: must not free again

  std::vector<SoundCall> expected = {
      {"FSOUND_Sample_Load", "nope.wav", 0x2000, 0},
      {"FSOUND_Sample_Load", "Laser.wav", 0x2000, 1},
      {"FSOUND_PlaySound", "Laser.wav", first, first},
      {"FSOUND_PlaySound", "Laser.wav", second, second},
      {"FSOUND_Sample_Free", "Laser.wav", 0, 0},
      {"FSOUND_PlaySound", "", -1, -1},
      {"FSOUND_Sample_Free", "", 0, 0},
  };
  EXPECT_EQ(spy.calls(), expected);
}

TEST(SoundLibrarySamples, ChannelVolumeFollowsTheScale) {
  SoundSpy spy;
  int channel = FSOUND_PlaySound(-1, soundBank[SfxBlock01].handle);
  ASSERT_GE(channel, 0);
  EXPECT_EQ(FSOUND_SetVolume(channel, 0), 1);
  EXPECT_EQ(Mix_Volume(channel, -1), 0);
  EXPECT_EQ(FSOUND_SetVolume(channel, 255), 1);
  EXPECT_EQ(Mix_Volume(channel, -1), MIX_MAX_VOLUME);
  EXPECT_EQ(FSOUND_SetVolume(32, 100), 0) << "channel past the 32 allocated";
  EXPECT_EQ(FSOUND_SetVolume(-1, 100), 0);
}

TEST(SoundLibraryStreams, PlayStopCloseDriveTheMusicTrack) {
  SoundSpy spy;
  std::string track = spy.folder() + "/TITLE.MP3";
  ASSERT_TRUE(SoundSpy::writeMp3(track));

  EXPECT_EQ(FSOUND_Stream_Open((spy.folder() + "/LV01.MP3").c_str(), 0x132, 0, 0), nullptr);
  FSOUND_STREAM* stream = FSOUND_Stream_Open(track.c_str(), 0x132, 0, 0);
  ASSERT_NE(stream, nullptr);
  EXPECT_FALSE(Mix_PlayingMusic()) << "an opened stream sounds before it is played";

  Mix_VolumeMusic(10);  // left over from an earlier fade
  int channel = FSOUND_Stream_Play(-1, stream);
  EXPECT_GE(channel, 0);
  EXPECT_TRUE(Mix_PlayingMusic());
  EXPECT_EQ(Mix_VolumeMusic(-1), MIX_MAX_VOLUME) << "a track must start at full volume";

  struct VolumeCase {
    int volume;
    int mixer;
  };
  for (VolumeCase c : {VolumeCase{253, 126}, {127, 63}, {1, 0}, {0, 0}, {255, 128}}) {
    EXPECT_EQ(FSOUND_SetVolume(channel, c.volume), 1);
    EXPECT_EQ(Mix_VolumeMusic(-1), c.mixer) << c.volume;
  }

  EXPECT_EQ(FSOUND_Stream_Stop(stream), 1);
  EXPECT_FALSE(Mix_PlayingMusic());
  EXPECT_GE(FSOUND_Stream_Play(-1, stream), 0) << "a stopped stream plays again";
  EXPECT_TRUE(Mix_PlayingMusic());
  EXPECT_EQ(FSOUND_Stream_Close(stream), 1);
  EXPECT_FALSE(Mix_PlayingMusic()) << "closing the playing stream must silence it";
  EXPECT_EQ(FSOUND_Stream_Close(stream), 0) << "a closed handle is dead";
  EXPECT_EQ(FSOUND_Stream_Play(-1, stream), -1);

  std::vector<std::string> opened = {"LV01.MP3", "TITLE.MP3"};
  EXPECT_EQ(spy.openedStreams(), opened);
}

TEST(SoundLibraryStreams, StoppingAnIdleStreamLeavesThePlayingOneAlone) {
  SoundSpy spy;
  std::string a = spy.folder() + "/a.MP3";
  std::string b = spy.folder() + "/b.MP3";
  ASSERT_TRUE(SoundSpy::writeMp3(a));
  ASSERT_TRUE(SoundSpy::writeMp3(b));
  FSOUND_STREAM* idle = FSOUND_Stream_Open(a.c_str(), 0x132, 0, 0);
  FSOUND_STREAM* playing = FSOUND_Stream_Open(b.c_str(), 0x132, 0, 0);
  ASSERT_GE(FSOUND_Stream_Play(-1, playing), 0);
  EXPECT_EQ(FSOUND_Stream_Stop(idle), 1);
  EXPECT_EQ(FSOUND_Stream_Close(idle), 1);
  EXPECT_TRUE(Mix_PlayingMusic());
  FSOUND_Close();  // releases the stream still open; LeakSanitizer checks
}

TEST(SoundLibraryStreams, LoopFlagRepeatsTheTrack) {
  SoundSpy spy;
  std::string track = spy.folder() + "/short.MP3";
  ASSERT_TRUE(SoundSpy::writeMp3(track, 1));  // 26 ms

  // Ten runs of the track put out: one without the loop flag has ended, a looping one not.
  constexpr long long kTenRuns = 10 * 1152;
  FSOUND_STREAM* once = FSOUND_Stream_Open(track.c_str(), 0x130, 0, 0);
  {
    MixedSound mixed;
    ASSERT_GE(FSOUND_Stream_Play(-1, once), 0);
    ASSERT_TRUE(MixedSound::waitForFrames(kTenRuns));
    EXPECT_FALSE(Mix_PlayingMusic()) << "a track without the loop flag never ended";
  }

  FSOUND_STREAM* looping = FSOUND_Stream_Open(track.c_str(), 0x132, 0, 0);
  MixedSound mixed;
  ASSERT_GE(FSOUND_Stream_Play(-1, looping), 0);
  ASSERT_TRUE(MixedSound::waitForFrames(kTenRuns));
  EXPECT_TRUE(Mix_PlayingMusic()) << "a looping track ended";
}
