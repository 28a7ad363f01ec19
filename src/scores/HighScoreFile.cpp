// HIGHSCORE.DAT: the 94-byte little-endian file image, its load, its save and the merge of
// a run's new entries into what other copies of the game saved meanwhile.
#include <string>

#include "scores/HighScoreFile.h"

namespace {
// Bytes are put together by hand so the file is the same on any machine.
void putLittle16(uint8_t* at, int16_t value) {
  auto bits = static_cast<uint16_t>(value);
  at[0] = static_cast<uint8_t>(bits & 0xFF);
  at[1] = static_cast<uint8_t>(bits >> 8);
}

void putLittle32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

int16_t getLittle16(const uint8_t* at) {
  return static_cast<int16_t>(static_cast<uint16_t>(at[0] | (at[1] << 8)));
}

uint32_t getLittle32(const uint8_t* at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t{at[i]} << (8 * i);
  return value;
}

constexpr std::size_t kChecksumOffset = kHighScoreFileBytes - 4;
}  // namespace

HighScoreBytes encodeHighScores(const HighScoreTable& table) {
  HighScoreBytes bytes{};
  uint8_t* at = bytes.data();
  for (const auto& mode : table.entries) {
    for (const HighScoreEntry& entry : mode) {
      for (int k = 0; k < kLetters; ++k) putLittle16(at + 2 * k, entry.letters[k]);
      putLittle32(at + 6, entry.score);
      at += kHighScoreEntryBytes;
    }
  }
  putLittle32(at, highScoreChecksum(table));
  return bytes;
}

bool decodeHighScores(const uint8_t* bytes, std::size_t size, HighScoreTable& table) {
  if (bytes == nullptr || size < kHighScoreFileBytes) return false;
  HighScoreTable read{};
  const uint8_t* at = bytes;
  for (auto& mode : read.entries) {
    for (HighScoreEntry& entry : mode) {
      for (int k = 0; k < kLetters; ++k) entry.letters[k] = getLittle16(at + 2 * k);
      entry.score = getLittle32(at + 6);
      at += kHighScoreEntryBytes;
    }
  }
  if (getLittle32(bytes + kChecksumOffset) != highScoreChecksum(read)) return false;
  table = read;
  return true;
}

bool loadHighScoresFrom(const char* path, HighScoreTable& table) {
  HighScoreBytes bytes{};
  std::size_t got = readSharedFile(path, bytes);
  return decodeHighScores(bytes.data(), got, table);
}

FileOutcome saveHighScoresTo(const char* path, const HighScoreTable& table) {
  std::string target(path);
  if (FileOutcome followed = followTrustedLinks(target); !followed) return followed;
  return replaceSharedFile(target, encodeHighScores(table));
}

// Under the folder's lock, so no other copy's save falls between the read and the replace.
FileOutcome mergeHighScoresInto(const char* path, HighScoreTable& table,
                                std::span<const PlacedScore> placed) {
  std::string target(path);
  if (FileOutcome followed = followTrustedLinks(target); !followed) return followed;
  FolderLock lock(target);
  HighScoreTable onDisk{};
  if (loadHighScoresFrom(target.c_str(), onDisk)) {
    for (const PlacedScore& entry : placed) {
      int rank = highScoreRank(onDisk, entry.mode, entry.score);
      if (rank >= 0) placeHighScore(onDisk, entry.mode, rank, entry.score, entry.letters);
    }
    table = onDisk;
  }
  return replaceSharedFile(target, encodeHighScores(table));
}
