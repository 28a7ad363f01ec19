// Checks of the generated effects and music as the game hears them, decoded by SDL_mixer:
// every file under its exact name, audible, unclipped, of the right length, every music
// track a loop without a gap or a click at its seam, and the mix of effects over music.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "audio/SoundLibrary.h"

namespace {

constexpr int kRate = 44100;
constexpr double kFullScale = 32768.0;

// Interleaved stereo, 16 bits, 44100 Hz: the format the game opens the mixer with.
struct Pcm {
  std::vector<int16_t> samples;
  std::size_t frames() const { return samples.size() / 2; }
  double seconds() const { return static_cast<double>(frames()) / kRate; }
  int16_t at(std::size_t frame, int channel) const { return samples[2 * frame + channel]; }
};

// RMS of frames [first, last) over both channels, 1.0 = full scale.
double rms(const Pcm& pcm, std::size_t first, std::size_t last) {
  double sum = 0;
  for (std::size_t i = 2 * first; i < 2 * last; ++i) sum += double(pcm.samples[i]) * pcm.samples[i];
  return last > first ? std::sqrt(sum / (2.0 * double(last - first))) / kFullScale : 0.0;
}

int peak(const Pcm& pcm) {
  int most = 0;
  for (int16_t s : pcm.samples) most = std::max(most, std::abs(int(s)));
  return most;
}

// How the two ends of a loop meet.
struct Seam {
  double headRms = 0;  // first 20 ms
  double tailRms = 0;  // last 20 ms
  int jump = 0;        // largest |first - last| over the channels
  int nearby = 0;      // largest sample-to-sample step within 10 ms either side of the seam
};

Seam measureSeam(const Pcm& pcm) {
  Seam seam;
  const std::size_t n = pcm.frames();
  const std::size_t edge = std::min<std::size_t>(n, kRate / 50);
  seam.headRms = rms(pcm, 0, edge);
  seam.tailRms = rms(pcm, n - edge, n);
  const std::size_t window = std::min<std::size_t>(n / 2, kRate / 100);
  for (int c = 0; c < 2; ++c) {
    seam.jump = std::max(seam.jump, std::abs(pcm.at(0, c) - pcm.at(n - 1, c)));
    for (std::size_t i = 1; i < window; ++i) {
      seam.nearby = std::max(seam.nearby, std::abs(pcm.at(i, c) - pcm.at(i - 1, c)));
      seam.nearby = std::max(seam.nearby, std::abs(pcm.at(n - i, c) - pcm.at(n - i - 1, c)));
    }
  }
  return seam;
}

// A loop is seamless when both ends sound and the step across the seam is no bigger than
// twice the biggest step right around it.
bool isSeamless(const Seam& seam) {
  return seam.headRms > 0.01 && seam.tailRms > 0.01 && seam.jump <= 2 * seam.nearby;
}

// SDL's audio opened as the game opens it (44100 Hz, 16 bits, stereo) on one of SDL's own
// drivers: "dummy" for the whole program, "disk" while a test captures what the mixer plays.
class SdlAudio : public ::testing::Environment {
 public:
  void SetUp() override {
    SDL_Init(0);
    Mix_Init(MIX_INIT_MP3);
    open("dummy");
  }
  void TearDown() override {
    close();
    Mix_Quit();
    SDL_Quit();
  }
  static bool open(const char* driver, int bufferFrames = 1024) {
    setenv("SDL_AUDIODRIVER", driver, 1);
    ready_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 &&
             Mix_OpenAudio(kRate, AUDIO_S16SYS, 2, bufferFrames) == 0;
    return ready_;
  }
  static void close() {
    if (ready_) Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    ready_ = false;
  }
  static bool ready() { return ready_; }

 private:
  static inline bool ready_ = false;
};
const auto* const kSdlAudio = ::testing::AddGlobalTestEnvironment(new SdlAudio);

std::string gameFile(const std::string& name) { return std::string(ZEPH_GAME_DIR) + "/" + name; }

// True when the folder holds an entry spelled exactly `name`, case included.
bool existsExactly(const std::string& name) {
  for (const auto& entry : std::filesystem::directory_iterator(ZEPH_GAME_DIR))
    if (entry.path().filename().string() == name) return true;
  return false;
}

// Decodes a WAV or MP3 file through SDL_mixer, which is what the game plays it with.
std::optional<Pcm> decode(const std::string& name) {
  if (!SdlAudio::ready()) return std::nullopt;
  Mix_Chunk* chunk = Mix_LoadWAV(gameFile(name).c_str());
  if (!chunk) return std::nullopt;
  Pcm pcm;
  pcm.samples.resize(chunk->alen / sizeof(int16_t));
  std::memcpy(pcm.samples.data(), chunk->abuf, pcm.samples.size() * sizeof(int16_t));
  Mix_FreeChunk(chunk);
  return pcm;
}

const char* const kEffects[] = {
    "Block01.Wav",   "Block02.Wav", "Block03.Wav",  "Block04.Wav", "Combo01.Wav",
    "Combo02.Wav",   "LevelUp.wav", "Level.Wav",    "Death.Wav",   "Laser.wav",
    "highscore.wav", "hs-menu.wav", "ready-go.wav",
};

const char* const kTracks[] = {
    "LV01.MP3", "LV02.MP3", "LV03.MP3",  "LV04.MP3", "LV05.MP3",
    "LV06.MP3", "LV07.MP3", "TITLE.MP3", "END.MP3",
};

// Stays clear of the rails: a clipped sample sits at or next to full scale.
constexpr int kClipLevel = 32700;
// One percent of full scale: as good as silent for the first and last sample.
constexpr int kQuiet = 328;

class EffectFile : public ::testing::TestWithParam<const char*> {};

TEST_P(EffectFile, IsAShortAudibleUnclippedSample) {
  const std::string name = GetParam();
  ASSERT_TRUE(existsExactly(name)) << name << " missing (names are case-sensitive)";
  auto pcm = decode(name);
  ASSERT_TRUE(pcm) << name << " does not decode: " << Mix_GetError();
  EXPECT_GT(pcm->seconds(), 0.05) << name;
  EXPECT_LT(pcm->seconds(), 1.5) << name;
  EXPECT_GT(rms(*pcm, 0, pcm->frames()), 0.02) << name << " is (nearly) silent";
  EXPECT_LT(peak(*pcm), kClipLevel) << name << " clips";
  // A sample that starts or stops away from zero clicks.
  const std::size_t last = pcm->frames() - 1;
  for (int c = 0; c < 2; ++c) {
    EXPECT_LE(std::abs(pcm->at(0, c)), kQuiet) << name << " starts with a click";
    EXPECT_LE(std::abs(pcm->at(last, c)), kQuiet) << name << " ends with a click";
  }
}

INSTANTIATE_TEST_SUITE_P(AllEffects, EffectFile, ::testing::ValuesIn(kEffects),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                               '_');
                           return name;
                         });

class TrackFile : public ::testing::TestWithParam<const char*> {};

TEST_P(TrackFile, IsAnAudibleLoopOfHalfAMinuteToAMinuteAndAHalf) {
  const std::string name = GetParam();
  ASSERT_TRUE(existsExactly(name)) << name << " missing (names are case-sensitive)";
  auto pcm = decode(name);
  ASSERT_TRUE(pcm) << name << " does not decode: " << Mix_GetError();
  EXPECT_GE(pcm->seconds(), 30.0) << name;
  EXPECT_LE(pcm->seconds(), 90.0) << name;
  EXPECT_GT(rms(*pcm, 0, pcm->frames()), 0.05) << name << " is too quiet";
  EXPECT_LT(peak(*pcm), kClipLevel) << name << " clips";

  const Seam seam = measureSeam(*pcm);
  EXPECT_TRUE(isSeamless(seam)) << name << ": head rms " << seam.headRms << ", tail rms "
                                << seam.tailRms << ", step across the seam " << seam.jump
                                << ", biggest step near it " << seam.nearby;
}

// Plays the track twice through SDL_mixer's music stream, the way the game loops it, and
// returns what the mixer put out, captured by SDL's disk driver running flat out.
std::optional<Pcm> captureTwoPasses(const std::string& name) {
  const std::string file =
      (std::filesystem::temp_directory_path() / ("zeph-loop-" + std::to_string(getpid()) + ".raw"))
          .string();
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
  SdlAudio::close();
  std::optional<Pcm> captured;
  if (SdlAudio::open("disk", 16384)) {  // big buffers: fewer trips through the driver
    if (Mix_Music* music = Mix_LoadMUS(gameFile(name).c_str())) {
      const Uint32 start = SDL_GetTicks();
      if (Mix_PlayMusic(music, 2) == 0)
        while (Mix_PlayingMusic() && SDL_GetTicks() - start < 120000) SDL_Delay(2);
      Mix_FreeMusic(music);
      captured = Pcm{};
    }
    SdlAudio::close();
  }
  if (captured) {
    std::ifstream in(file, std::ios::binary);
    captured->samples.resize(std::filesystem::file_size(file) / sizeof(int16_t));
    in.read(reinterpret_cast<char*>(captured->samples.data()),
            static_cast<std::streamsize>(captured->samples.size() * sizeof(int16_t)));
  }
  std::filesystem::remove(file);
  SdlAudio::open("dummy");
  return captured;
}

// How one pass of a loop differs from another, sample by sample.
struct PassDifference {
  std::size_t differing = 0;
  std::size_t audible = 0;  // samples further apart than the decoder's rounding
  int largest = 0;
};

// A decoder may round a sample of a pass a step differently from the same sample of the pass
// before: the rewound decoder does not start from quite the state it started from the first
// time, and where it runs without vector code (i386's x87, s390x) the rounding shows. On i386 four
// of the nine tracks have 5 or 6 such samples in the second pass's first second, each one step of
// the 16 bits off: -90 dBFS, far under the music. A pass that starts a frame early or late, a gap
// or a click moves samples by hundreds of steps.
constexpr int kDecoderRounding = 8;  // 16-bit steps: -72 dBFS

PassDifference comparePasses(const Pcm& played, std::size_t playedFrom, const Pcm& expected,
                             std::size_t expectedFrom, std::size_t frames) {
  PassDifference difference;
  for (std::size_t i = 0; i < 2 * frames; ++i) {
    const int apart =
        std::abs(played.samples[2 * playedFrom + i] - expected.samples[2 * expectedFrom + i]);
    difference.differing += apart != 0;
    difference.audible += apart > kDecoderRounding;
    difference.largest = std::max(difference.largest, apart);
  }
  return difference;
}

// The device plays silence until the music starts: the first frame with sound.
std::size_t firstSound(const Pcm& pcm) {
  std::size_t i = 0;
  while (i < pcm.samples.size() && pcm.samples[i] == 0) ++i;
  return i / 2;
}

TEST_P(TrackFile, LoopsInTheMusicStreamWithoutAGap) {
  const std::string name = GetParam();
  auto once = decode(name);
  ASSERT_TRUE(once) << name;
  auto twice = captureTwoPasses(name);
  ASSERT_TRUE(twice) << name << " does not stream: " << Mix_GetError();
  const std::size_t length = once->frames();
  const std::size_t start = firstSound(*twice);
  ASSERT_GE(twice->frames(), start + 2 * length) << name << " did not play twice";

  // The first pass is the track itself, and the second begins the very frame the first ends:
  // no gap, no overlap, no skipped frames.
  const std::size_t offset = firstSound(*once);
  const PassDifference first = comparePasses(*twice, start, *once, offset, kRate);
  const PassDifference second = comparePasses(*twice, start + length, *twice, start, kRate);
  std::printf("%-13s samples off the track: first pass %zu (by up to %d), second %zu (%d)\n",
              name.c_str(), first.differing, first.largest, second.differing, second.largest);
  EXPECT_EQ(first.audible, 0u) << name << ": largest difference " << first.largest;
  EXPECT_EQ(second.audible, 0u) << name << ": largest difference " << second.largest;
}

INSTANTIATE_TEST_SUITE_P(AllTracks, TrackFile, ::testing::ValuesIn(kTracks), [](const auto& info) {
  std::string name = info.param;
  return name.substr(0, name.find('.'));
});

// The seam check itself, on small made-up loops: it must pass a continuous one and catch
// the two faults an encoder or a careless renderer makes.
Pcm sineLoop(std::size_t frames, double cycles, std::size_t silentHead) {
  Pcm pcm;
  for (std::size_t i = 0; i < frames; ++i) {
    double v = i < silentHead
                   ? 0
                   : 0.4 * std::sin(2 * std::numbers::pi * cycles * double(i) / double(frames));
    auto s = static_cast<int16_t>(std::lround(v * 32767));
    pcm.samples.push_back(s);
    pcm.samples.push_back(s);
  }
  return pcm;
}

TEST(SeamCheck, PassesAContinuousLoopAndCatchesAClickOrAGap) {
  struct Case {
    const char* what;
    Pcm pcm;
    bool seamless;
  };
  const Case cases[] = {
      {"whole number of cycles", sineLoop(kRate, 440, 0), true},
      {"cut at a crest", sineLoop(kRate, 440.25, 0), false},
      {"encoder delay left as silence", sineLoop(kRate, 440, 1105), false},
  };
  for (const Case& c : cases) EXPECT_EQ(isSeamless(measureSeam(c.pcm)), c.seamless) << c.what;
}

TEST(PassCompare, AbsorbsDecoderRoundingAndCatchesAShiftAGapOrAClick) {
  const Pcm loop = sineLoop(kRate, 440, 0);
  auto changed = [&](auto change) {
    Pcm pcm = loop;
    change(pcm.samples);
    return pcm;
  };
  struct Case {
    const char* what;
    Pcm pass;
    std::size_t from;
    bool same;
  };
  const Case cases[] = {
      {"the same samples", loop, 0, true},
      {"every other sample a step off", changed([](auto& s) {
         for (std::size_t i = 0; i < s.size(); i += 2) s[i] = int16_t(s[i] + (i % 4 ? 1 : -1));
       }),
       0, true},
      {"one frame late", loop, 1, false},
      {"10 ms of silence at the start",
       changed([](auto& s) { std::fill(s.begin(), s.begin() + 2 * kRate / 100, 0); }), 0, false},
      {"a click", changed([](auto& s) { s[2 * 1000] = int16_t(s[2 * 1000] + 600); }), 0, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(comparePasses(c.pass, c.from, loop, 0, kRate / 2).audible == 0, c.same) << c.what;
}

// The mix as the player hears it. The level of a stretch of sound is the RMS of its samples
// over both channels in dB relative to full scale (dBFS: a full-scale square wave is 0 dBFS,
// a full-scale sine -3 dBFS), taken over windows of 100 ms, about the span over which the
// ear sums loudness.
constexpr std::size_t kWindowFrames = kRate / 10;
// Every effect's loudest 100 ms stands this far above the loud passages of the loudest
// track (their 90th percentile), so that a laser is never masked by the music.
constexpr double kEffectOverMusicDb = 6.0;
// The music stays clearly audible in the menus, where it plays alone: the loud passages of
// even the quietest track reach -28 dBFS. That is 16 dB under the effects' common level of
// -12 dBFS, about conversation level when the effects are set comfortably loud; much lower
// and the menus would sound all but silent.
constexpr double kMusicFloorDbfs = -28.0;

double toDbfs(double level) { return 20.0 * std::log10(std::max(level, 1e-6)); }

// The level of every 100 ms window starting `hop` frames apart, in dBFS; a sound shorter
// than one window is measured whole.
std::vector<double> windowLevels(const Pcm& pcm, std::size_t hop) {
  const std::size_t frames = pcm.frames();
  if (frames <= kWindowFrames) return {toDbfs(rms(pcm, 0, frames))};
  std::vector<double> levels;
  for (std::size_t first = 0; first + kWindowFrames <= frames; first += hop)
    levels.push_back(toDbfs(rms(pcm, first, first + kWindowFrames)));
  return levels;
}

// The loudest 100 ms anywhere in the sound: windows every 10 ms, so that a burst that
// straddles two back-to-back windows is not split in half.
double loudestWindow(const Pcm& pcm) {
  const auto levels = windowLevels(pcm, kRate / 100);
  return *std::max_element(levels.begin(), levels.end());
}

// The value that `percent` of the levels lie at or below (nearest rank). The rank is counted in
// integers: the double nearest 0.9 lies a little above it, x87's extra precision keeps
// 0.9 * 10 above 9, and its ceiling would pick the wrong level.
double percentile(std::vector<double> levels, std::size_t percent) {
  std::sort(levels.begin(), levels.end());
  const std::size_t rank = (percent * levels.size() + 99) / 100;
  return levels[std::clamp<std::size_t>(rank, 1, levels.size()) - 1];
}

// The loud passages of a track: the 90th percentile of its back-to-back 100 ms windows.
double loudPassages(const Pcm& pcm) { return percentile(windowLevels(pcm, kWindowFrames), 90); }

Pcm constantTone(double seconds, double amplitude, bool square, std::size_t silentFrames = 0) {
  Pcm pcm;
  const auto frames = static_cast<std::size_t>(seconds * kRate);
  for (std::size_t i = 0; i < silentFrames + frames; ++i) {
    double v = 0;
    if (i >= silentFrames) {
      double wave = std::sin(2 * std::numbers::pi * 441.0 * double(i) / kRate);
      v = square ? (wave >= 0 ? amplitude : -amplitude) : amplitude * wave;
    }
    auto s = static_cast<int16_t>(std::lround(v * 32767));
    pcm.samples.push_back(s);
    pcm.samples.push_back(s);
  }
  return pcm;
}

Pcm joined(std::vector<Pcm> parts) {
  Pcm all;
  for (const Pcm& part : parts)
    all.samples.insert(all.samples.end(), part.samples.begin(), part.samples.end());
  return all;
}

TEST(MixMeasure, LevelsInDbfsLoudestWindowAndPercentile) {
  struct Case {
    const char* what;
    Pcm pcm;
    double loudest;
    double loudPassages;
  };
  // Ten windows of a half-scale square (-6 dBFS) after ninety of a quarter-scale one.
  Pcm mostlyQuiet = joined({constantTone(9.0, 0.25, true), constantTone(1.0, 0.5, true)});
  const Case cases[] = {
      {"full-scale square", constantTone(0.5, 1.0, true), 0.0, 0.0},
      {"half-scale sine", constantTone(0.5, 0.5, false), -9.03, -9.03},
      {"a sound shorter than a window, measured whole", constantTone(0.05, 0.5, true), -6.02,
       -6.02},
      // 100 ms of sound that begins 50 ms into the second window.
      {"a burst across two windows", constantTone(0.1, 0.5, true, kWindowFrames + kRate / 20),
       -6.02, -9.03},
      {"loud tenth of a track", mostlyQuiet, -6.02, -12.04},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(loudestWindow(c.pcm), c.loudest, 0.05) << c.what;
    EXPECT_NEAR(loudPassages(c.pcm), c.loudPassages, 0.05) << c.what;
  }
  EXPECT_EQ(percentile({5, 1, 4, 2, 3, 10, 9, 8, 7, 6}, 90), 9);
  EXPECT_EQ(percentile({5, 1, 4, 2, 3, 10, 9, 8, 7, 6, 11}, 90), 10);  // rank 9.9: the 10th
  EXPECT_EQ(percentile({-20}, 90), -20);
}

// The gains the game mixes with, 1 meaning as decoded: for an effect SDL_mixer's chunk,
// channel and master volumes; for a track its music volume.
struct PlaybackGains {
  double effect = 0;
  double music = 0;
};

// Plays an effect and a track through the game's own sound layer and reads back the
// volumes SDL_mixer was left to mix them with.
std::optional<PlaybackGains> gainsTheGamePlaysWith() {
  SdlAudio::close();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::optional<PlaybackGains> gains;
  if (FSOUND_Init(kRate, 32, 0)) {
    FSOUND_SAMPLE* laser =
        FSOUND_Sample_Load(FSOUND_FREE, gameFile("Laser.wav").c_str(), FSOUND_2D, 0, 0);
    const int channel = FSOUND_PlaySound(FSOUND_FREE, laser);
    FSOUND_STREAM* title =
        FSOUND_Stream_Open(gameFile("TITLE.MP3").c_str(),
                           FSOUND_LOOP_NORMAL | FSOUND_16BITS | FSOUND_MONO | FSOUND_SIGNED, 0, 0);
    const int musicChannel = FSOUND_Stream_Play(FSOUND_FREE, title);
    if (channel >= 0 && musicChannel >= 0 && Mix_GetChunk(channel)) {
      const double full = MIX_MAX_VOLUME;
      gains = PlaybackGains{Mix_GetChunk(channel)->volume / full * Mix_Volume(channel, -1) / full *
                                Mix_MasterVolume(-1) / full,
                            Mix_VolumeMusic(-1) / full};
    }
    FSOUND_Close();
  }
  Mix_Init(MIX_INIT_MP3);
  SdlAudio::open("dummy");
  return gains;
}

TEST(Mix, EveryEffectStandsAboveTheLoudestTrackAndTheMusicStaysAudible) {
  const auto gains = gainsTheGamePlaysWith();
  ASSERT_TRUE(gains) << "the game's sound layer played nothing: " << Mix_GetError();
  std::printf("run-time gains: effects %.3f, music %.3f\n", gains->effect, gains->music);
  ASSERT_GT(gains->effect, 0.0);
  ASSERT_GT(gains->music, 0.0);
  const double effectGainDb = toDbfs(gains->effect);
  const double musicGainDb = toDbfs(gains->music);

  std::string loudestTrack, quietestTrack;
  double loudestDb = -1e9, quietestDb = 1e9;
  for (const char* name : kTracks) {
    auto pcm = decode(name);
    ASSERT_TRUE(pcm) << name;
    const double level = loudPassages(*pcm) + musicGainDb;
    std::printf("%-13s 90th percentile of 100 ms levels %6.1f dBFS\n", name, level);
    if (level > loudestDb) loudestDb = level, loudestTrack = name;
    if (level < quietestDb) quietestDb = level, quietestTrack = name;
  }
  for (const char* name : kEffects) {
    auto pcm = decode(name);
    ASSERT_TRUE(pcm) << name;
    const double level = loudestWindow(*pcm) + effectGainDb;
    const double margin = level - loudestDb;
    std::printf("%-13s loudest 100 ms %6.1f dBFS, %+5.1f dB over %s\n", name, level, margin,
                loudestTrack.c_str());
    EXPECT_GE(margin, kEffectOverMusicDb) << name << " (" << level << " dBFS) is masked by "
                                          << loudestTrack << " (" << loudestDb << " dBFS)";
  }
  EXPECT_GE(quietestDb, kMusicFloorDbfs) << quietestTrack << " is too quiet to be heard";
}

}  // namespace
