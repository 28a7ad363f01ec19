// Checks of the generated effects and music as the game hears them, decoded by SDL_mixer:
// every file under its exact name, audible, unclipped, of the right length, and every
// music track a loop without a gap or a click at its seam.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

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
  std::size_t firstPassDiffers = 0, secondPassDiffers = 0;
  for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(kRate); ++i) {
    const int16_t played = twice->samples[2 * start + i];
    firstPassDiffers += played != once->samples[2 * offset + i];
    secondPassDiffers += played != twice->samples[2 * (start + length) + i];
  }
  EXPECT_EQ(firstPassDiffers, 0u) << name;
  EXPECT_EQ(secondPassDiffers, 0u) << name;
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

}  // namespace
