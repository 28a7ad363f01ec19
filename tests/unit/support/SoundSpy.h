// Test seam for sound: starts audio on SDL's dummy driver, fills every effect slot from tiny
// WAV files named like the real ones, and records every sound library call.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "audio/SoundLibrary.h"

// Readable test failures: {FSOUND_PlaySound "Laser.wav" 3 3}.
std::ostream& operator<<(std::ostream& out, const SoundCall& call);

class SoundSpy {  // RAII: one at a time
 public:
  SoundSpy();
  ~SoundSpy();
  SoundSpy(const SoundSpy&) = delete;
  SoundSpy& operator=(const SoundSpy&) = delete;

  std::vector<std::string> playedSamples() const;  // file of each FSOUND_PlaySound, in order
  std::vector<std::string> openedStreams() const;  // name of each FSOUND_Stream_Open, also failed
  std::vector<SoundCall> calls() const;            // every call, in order
  void clear();

  // The private folder holding the fixture WAVs (for tests that need a file to open).
  const std::string& folder() const { return folder_; }

  // Writes a short, valid 16-bit mono WAV file; returns false when it cannot be written.
  static bool writeWav(const std::string& path, int frames = 441);
  // The bytes of a silent MPEG-1 layer III track (44.1 kHz mono, 128 kbps, 26 ms a frame):
  // an Info frame counting the frames and the bytes as LAME writes it, then audioFrames frames.
  static std::vector<uint8_t> mp3Bytes(int audioFrames = 8);
  static bool writeMp3(const std::string& path, int audioFrames = 8);

 private:
  std::vector<SoundCall> calls_;
  std::string folder_;
  uint8_t savedSound_ = 0;
  uint8_t savedMusic_ = 0;
};
