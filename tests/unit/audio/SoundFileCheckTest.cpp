// The structure checks of effects and tracks: the good files SDL plays, and every kind of cut,
// padded, mislabelled or junk file that must be called damaged before a decoder sees it.
#include "audio/SoundFileCheck.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/SoundSpy.h"

namespace {
using Bytes = std::vector<uint8_t>;

Bytes wavBytes(int frames = 441) {
  char path[] = "/tmp/zeph-wavcheck-XXXXXX";
  const int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  close(fd);
  EXPECT_TRUE(SoundSpy::writeWav(path, frames));
  Bytes bytes;
  if (std::FILE* f = std::fopen(path, "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
    std::fclose(f);
  }
  std::remove(path);
  return bytes;
}

void putLe(Bytes& bytes, std::size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + std::size_t(i)] = uint8_t(value >> (8 * i));
}

struct Case {
  const char* what;
  std::function<Bytes()> make;
  bool good;
};

// The fixture WAV: RIFF header at 0, "fmt " at 12 (body at 20), "data" at 36 (samples at 44).
const Case kEffects[] = {
    {"a plain PCM file", [] { return wavBytes(); }, true},
    {"bytes after the RIFF chunk",
     [] {
       Bytes b = wavBytes();
       b.resize(b.size() + 7, 0xEE);
       return b;
     },
     true},
    {"a LIST chunk of odd size before fmt",
     [] {
       Bytes b = wavBytes();
       const Bytes list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
       b.insert(b.begin() + 12, list.begin(), list.end());
       putLe(b, 4, uint32_t(b.size() - 8), 4);
       return b;
     },
     true},
    {"empty", [] { return Bytes{}; }, false},
    {"cut inside the header",
     [] {
       Bytes b = wavBytes();
       b.resize(30);
       return b;
     },
     false},
    {"cut inside the samples",
     [] {
       Bytes b = wavBytes();
       b.resize(b.size() - 100);
       return b;
     },
     false},
    {"a data chunk longer than the RIFF chunk",
     [] {
       Bytes b = wavBytes();
       putLe(b, 40, 1u << 30, 4);
       return b;
     },
     false},
    {"data before fmt",
     [] {
       Bytes b = wavBytes();
       Bytes fmt(b.begin() + 12, b.begin() + 36);
       b.erase(b.begin() + 12, b.begin() + 36);
       b.insert(b.end(), fmt.begin(), fmt.end());
       return b;
     },
     false},
    {"MP3 data in a RIFF (format 0x55)",
     [] {
       Bytes b = wavBytes();
       putLe(b, 20, 0x55, 2);
       return b;
     },
     false},
    {"no channels",
     [] {
       Bytes b = wavBytes();
       putLe(b, 22, 0, 2);
       return b;
     },
     false},
    {"a block size that is not the frame's",
     [] {
       Bytes b = wavBytes();
       putLe(b, 32, 3, 2);
       return b;
     },
     false},
    {"no data chunk",
     [] {
       Bytes b = wavBytes();
       b.resize(36);
       putLe(b, 4, 28, 4);
       return b;
     },
     false},
    {"an MP3 file renamed", [] { return SoundSpy::mp3Bytes(); }, false},
};

const std::size_t kFrame = 417;  // one frame of the fixture track

Bytes withId3v2(Bytes track, std::size_t body, uint8_t sizeHighByte = 0) {
  Bytes tag = {'I', 'D', '3', 4, 0, 0, sizeHighByte, 0, uint8_t(body >> 7), uint8_t(body & 0x7F)};
  tag.resize(10 + body, 0);
  track.insert(track.begin(), tag.begin(), tag.end());
  return track;
}

const Case kTracks[] = {
    {"frames with an Info tag", [] { return SoundSpy::mp3Bytes(); }, true},
    {"frames without a tag",
     [] {
       Bytes b = SoundSpy::mp3Bytes(6);
       b.erase(b.begin(), b.begin() + kFrame);
       return b;
     },
     true},
    {"an ID3v2 tag before the frames",
     [] {
       Bytes b = SoundSpy::mp3Bytes();
       b.erase(b.begin(), b.begin() + kFrame);
       return withId3v2(b, 300);
     },
     true},
    {"an ID3v1 tag after the frames",
     [] {
       Bytes b = SoundSpy::mp3Bytes();
       Bytes tag(128, ' ');
       tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
       b.insert(b.end(), tag.begin(), tag.end());
       return b;
     },
     true},
    {"empty", [] { return Bytes{}; }, false},
    {"cut inside the last frame",
     [] {
       Bytes b = SoundSpy::mp3Bytes();
       b.resize(b.size() - 50);
       return b;
     },
     false},
    {"half of it, cut between frames (the Info count is the whole)",
     [] {
       Bytes b = SoundSpy::mp3Bytes(8);
       b.resize(5 * kFrame);
       return b;
     },
     false},
    {"junk between two frames",
     [] {
       Bytes b = SoundSpy::mp3Bytes();
       b.insert(b.begin() + 3 * kFrame, 20, 0x55);
       return b;
     },
     false},
    {"junk before the first frame",
     [] {
       Bytes b = SoundSpy::mp3Bytes();
       b.insert(b.begin(), 64, 0x00);
       return b;
     },
     false},
    {"an Info tag only, no sound",
     [] {
       Bytes b = SoundSpy::mp3Bytes(1);
       b.resize(kFrame);
       return b;
     },
     false},
    {"a layer II frame",
     [] {
       Bytes b = SoundSpy::mp3Bytes();
       b[2 * kFrame + 1] = 0xFD;
       return b;
     },
     false},
    {"a free-format frame",
     [] {
       Bytes b = SoundSpy::mp3Bytes();
       b[2 * kFrame + 2] = 0x00;
       return b;
     },
     false},
    {"a frame that turns stereo",
     [] {
       Bytes b = SoundSpy::mp3Bytes();
       b[2 * kFrame + 3] = 0x40;
       return b;
     },
     false},
    {"an ID3v2 size past the end",
     [] {
       Bytes b = SoundSpy::mp3Bytes();
       Bytes tagged = withId3v2(b, 10);
       tagged[7] = 0x7F;
       return tagged;
     },
     false},
    {"an ID3v2 size that is not seven bits a byte",
     [] { return withId3v2(SoundSpy::mp3Bytes(), 10, 0x80); }, false},
    {"a WAV file renamed", [] { return wavBytes(); }, false},
};

void expectCases(const Case* begin, const Case* end, bool (*check)(std::span<const uint8_t>)) {
  for (const Case* c = begin; c != end; ++c) {
    SCOPED_TRACE(c->what);
    const Bytes bytes = c->make();
    EXPECT_EQ(check(bytes), c->good);
  }
}
}  // namespace

TEST(SoundFileCheck, Effects) {
  expectCases(std::begin(kEffects), std::end(kEffects), isSoundEffect);
}

TEST(SoundFileCheck, Tracks) { expectCases(std::begin(kTracks), std::end(kTracks), isMusicTrack); }
