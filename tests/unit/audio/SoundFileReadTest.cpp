// Effects and tracks that are not what they should be: silent, named in one line on stderr the
// first time (a missing one without a word), and never read whole when they are endless or huge.
// Also the MP3 decoder's own complaints, which must never reach the player's terminal.
#include "audio/SoundFileRead.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "MixedSound.h"
#include "audio/QuietMp3Decoder.h"
#include "audio/SoundLibrary.h"
#include "support/AsUser.h"
#include "support/SoundSpy.h"

namespace {
struct Damage {
  const char* what;
  std::function<void(const std::string& path)> make;
  const char* reason;  // "" for no line at all
};

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

const Damage kDamage[] = {
    {"missing", [](const std::string&) {}, ""},
    {"a FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); },
     "not a regular file"},
    {"a link to /dev/zero",
     [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
     "not a regular file"},
    {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); },
     "not a regular file"},
    {"a sparse giant",
     [](const std::string& p) {
       std::ofstream(p, std::ios::binary).put('x');
       std::filesystem::resize_file(p, std::uintmax_t(1) << 30);
     },
     "too large (1073741824 bytes, at most "},
    {"junk", [](const std::string& p) { writeBytes(p, std::vector<uint8_t>(4000, 0x5A)); },
     "damaged"},
};

// What this thread has read from files and pipes so far, by the kernel's count: a file read
// whole shows there, however fast or slow the machine is.
long long bytesReadByThisThread() {
  std::ifstream io("/proc/thread-self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return -1;
}

std::string expectedLine(const char* kind, const std::string& path, const char* reason) {
  return std::string("zeph: the ") + kind + " " + path + " stays silent: " + reason;
}
}  // namespace

TEST(SoundFileRead, DamagedEffectsAndTracksAreSilentAndNamedOnce) {
  SoundSpy spy;
  int made = 0;
  for (const Damage& damage : kDamage) {
    for (bool effect : {true, false}) {
      SCOPED_TRACE(std::string(damage.what) + (effect ? " effect" : " track"));
      const std::string path =
          spy.folder() + "/sound" + std::to_string(++made) + (effect ? ".wav" : ".MP3");
      damage.make(path);
      testing::internal::CaptureStderr();
      const long long readBefore = bytesReadByThisThread();
      ASSERT_GE(readBefore, 0) << "no /proc/thread-self/io";
      for (int attempt = 0; attempt < 2; ++attempt) {
        if (effect)
          EXPECT_EQ(FSOUND_Sample_Load(-1, path.c_str(), FSOUND_2D, 0, 0), nullptr);
        else
          EXPECT_EQ(FSOUND_Stream_Open(path.c_str(), 0x132, 0, 0), nullptr);
      }
      const long long read = bytesReadByThisThread() - readBefore;
      const std::string printed = testing::internal::GetCapturedStderr();
      // A look at the start of each file, twice, and the kernel's counter file itself.
      EXPECT_LT(read, 64 * 1024) << "an endless or huge file read whole";
      if (damage.reason[0] == '\0') {
        EXPECT_EQ(printed, "");
      } else {
        const std::string line =
            expectedLine(effect ? "sound effect" : "music track", path, damage.reason);
        EXPECT_EQ(printed.rfind(line, 0), 0u) << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
      }
    }
  }
}

TEST(SoundFileRead, EachKindMustBeItsOwnFormat) {
  // An MP3 renamed as an effect would otherwise sound as a 55 s noise on every menu Enter.
  SoundSpy spy;
  const std::string effect = spy.folder() + "/renamed.wav";
  const std::string track = spy.folder() + "/renamed.MP3";
  ASSERT_TRUE(SoundSpy::writeMp3(effect));
  ASSERT_TRUE(SoundSpy::writeWav(track));
  testing::internal::CaptureStderr();
  EXPECT_EQ(FSOUND_Sample_Load(-1, effect.c_str(), FSOUND_2D, 0, 0), nullptr);
  EXPECT_EQ(FSOUND_Stream_Open(track.c_str(), 0x132, 0, 0), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            expectedLine("sound effect", effect, "damaged\n") +
                expectedLine("music track", track, "damaged\n"));
}

TEST(SoundFileRead, AnUnreadableFileIsNamedWithItsReason) {
  // As a player who may not read the file (root reads anything).
  char pattern[] = "/tmp/zeph-unreadable-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  chmod(folder.c_str(), 0755);
  const std::string path = folder + "/Laser.wav";
  ASSERT_TRUE(SoundSpy::writeWav(path));
  chmod(path.c_str(), 0);
  const std::string printed = asOrdinaryUser([&] {
    testing::internal::CaptureStderr();
    std::vector<uint8_t> bytes;
    const bool read = readSoundFile(path, SoundKind::Effect, bytes);
    return std::string(read ? "read\n" : "") + testing::internal::GetCapturedStderr();
  });
  std::filesystem::remove_all(folder);
  EXPECT_EQ(printed, expectedLine("sound effect", path, "unreadable: permission denied\n"));
}

TEST(QuietMp3Decoder, TheDecoderPrintsNothingAboutABrokenTrack) {
  // Straight to SDL_mixer, past our own check: the decoder itself must stay quiet, on junk and
  // on a track whose Info tag claims twice its length, looping.
  SoundSpy spy;
  ASSERT_TRUE(mp3DecoderIsQuiet());
  std::vector<uint8_t> half = SoundSpy::mp3Bytes(8);
  half.resize(half.size() / 2 / 417 * 417);
  std::vector<uint8_t> junk = SoundSpy::mp3Bytes(8);
  junk.insert(junk.begin(), 3000, 0x20);
  for (const auto* bytes : {&half, &junk}) {
    testing::internal::CaptureStderr();
    Mix_Music* music =
        Mix_LoadMUSType_RW(SDL_RWFromConstMem(bytes->data(), int(bytes->size())), MUS_MP3, 1);
    if (music) {
      MixedSound mixed;
      Mix_PlayMusic(music, -1);
      EXPECT_TRUE(MixedSound::waitForFrames(3 * 8 * 1152)) << "three loops were never played";
      Mix_FreeMusic(music);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  }
}
