// The sound seam of the tests: real sound library on SDL's dummy driver, every call recorded.
#include "SoundSpy.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/Settings.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"

namespace {
void putLe(std::FILE* f, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), f);
}
}  // namespace

std::ostream& operator<<(std::ostream& out, const SoundCall& call) {
  return out << "{" << call.call << " \"" << call.file << "\" " << call.value << " " << call.result
             << "}";
}

bool SoundSpy::writeWav(const std::string& path, int frames) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const uint32_t rate = 44100;
  const uint32_t dataBytes = static_cast<uint32_t>(frames) * 2;
  std::fputs("RIFF", f);
  putLe(f, 36 + dataBytes, 4);
  std::fputs("WAVEfmt ", f);
  putLe(f, 16, 4);        // fmt chunk size
  putLe(f, 1, 2);         // PCM
  putLe(f, 1, 2);         // mono
  putLe(f, rate, 4);      // frames per second
  putLe(f, rate * 2, 4);  // bytes per second
  putLe(f, 2, 2);         // bytes per frame
  putLe(f, 16, 2);        // bits per sample
  std::fputs("data", f);
  putLe(f, dataBytes, 4);
  for (int i = 0; i < frames; ++i) putLe(f, static_cast<uint32_t>((i % 32) * 256), 2);
  return std::fclose(f) == 0;
}

std::vector<uint8_t> SoundSpy::mp3Bytes(int audioFrames) {
  // 0xFFFB: MPEG-1 layer III without CRC; 0x90: 128 kbps at 44.1 kHz, no padding; 0xC0: mono.
  constexpr uint8_t kHeader[] = {0xFF, 0xFB, 0x90, 0xC0};
  constexpr std::size_t kFrameBytes = 144000 * 128 / 44100;  // 417
  constexpr std::size_t kTagAt = 4 + 17;                     // after a mono frame's side info
  const std::size_t total = kFrameBytes * std::size_t(audioFrames + 1);
  std::vector<uint8_t> bytes(total, 0);
  for (std::size_t at = 0; at < total; at += kFrameBytes)
    std::copy(std::begin(kHeader), std::end(kHeader), bytes.begin() + std::ptrdiff_t(at));
  const auto putBe = [&bytes](std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = uint8_t(value >> (24 - 8 * i));
  };
  std::copy_n("Info", 4, bytes.begin() + kTagAt);
  putBe(kTagAt + 4, 3);  // the frame and byte counts follow
  putBe(kTagAt + 8, uint32_t(audioFrames));
  putBe(kTagAt + 12, uint32_t(total));
  return bytes;
}

bool SoundSpy::writeMp3(const std::string& path, int audioFrames) {
  const std::vector<uint8_t> bytes = mp3Bytes(audioFrames);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

SoundSpy::SoundSpy() : savedSound_(soundEnabled), savedMusic_(musicEnabled) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  char pattern[] = "/tmp/zeph-soundspy-XXXXXX";
  if (mkdtemp(pattern)) folder_ = pattern;
  EXPECT_FALSE(folder_.empty()) << "SoundSpy: no temporary folder";

  setSoundObserver([this](const SoundCall& call) { calls_.push_back(call); });
  EXPECT_TRUE(FSOUND_Init(44100, 32, 0)) << "SoundSpy: the dummy audio driver did not start";
  soundEnabled = 1;
  musicEnabled = 1;
  musicPlayer = MusicPlayer{};

  for (int i = 0; i < kSampleCount; ++i) {
    soundBank[i].handle = nullptr;
    std::string path = folder_ + "/" + sampleFiles[i];
    EXPECT_TRUE(writeWav(path)) << path;
    EXPECT_TRUE(loadSample(soundBank[i], path.c_str())) << path;
  }
  clear();
}

SoundSpy::~SoundSpy() {
  setSoundObserver(nullptr);
  musicPlayer.stopMusic();
  FSOUND_Close();
  musicPlayer = MusicPlayer{};
  for (auto& slot : soundBank) slot.handle = nullptr;
  soundEnabled = savedSound_;
  musicEnabled = savedMusic_;
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

std::vector<std::string> SoundSpy::playedSamples() const {
  std::vector<std::string> files;
  for (const auto& call : calls_)
    if (call.call == "FSOUND_PlaySound") files.push_back(call.file);
  return files;
}

std::vector<std::string> SoundSpy::openedStreams() const {
  std::vector<std::string> files;
  for (const auto& call : calls_)
    if (call.call == "FSOUND_Stream_Open") files.push_back(call.file);
  return files;
}

std::vector<SoundCall> SoundSpy::calls() const { return calls_; }

void SoundSpy::clear() { calls_.clear(); }
