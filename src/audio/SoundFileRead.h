// Reading an effect or a music track for the sound layer: through the one file-opening unit,
// held to a ceiling for its kind, its structure checked. A file that fails is named once on
// stderr with the reason; a missing one stays silent without a word.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class SoundKind { Effect, Track };

// A few times the largest file the generator makes (an effect of about 128 KB, a track of about
// 1.24 MB): room for other encoders, no room for a stream that never ends.
inline constexpr std::size_t kEffectLimit = std::size_t(1) << 20;
inline constexpr std::size_t kTrackLimit = std::size_t(5) << 20;

// The checked bytes of the file at path (relative to the working folder), or false with bytes
// empty.
bool readSoundFile(const std::string& path, SoundKind kind, std::vector<uint8_t>& bytes);

// One line on stderr naming path and why it stays silent, the first time path fails this run.
void reportSilentSound(const std::string& path, SoundKind kind, const std::string& reason);
