// Writing rendered sound to the game's file formats: 16-bit PCM WAV through libsndfile and
// gapless MP3 through libmp3lame.
#pragma once
#include <string>
#include <vector>

// Mono samples in -1..1 at 44100 Hz to a 16-bit PCM WAV file. False on any failure.
bool writeWav(const std::string& path, const std::vector<float>& mono);

// Interleaved stereo samples in -1..1 at 44100 Hz to an MP3 file carrying the LAME tag, so
// that decoders which honour it drop the encoder's delay and padding and the file loops
// without a gap. False on any failure.
bool writeMp3(const std::string& path, const std::vector<float>& stereo);
