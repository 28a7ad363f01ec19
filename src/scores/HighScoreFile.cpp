// HIGHSCORE.DAT: the 94-byte little-endian file image, its load, its atomic save and reset.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "scores/HighScoreTable.h"

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

// The rename of a save is durable only once the folder holding it is flushed too.
void syncFolderOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}
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

// A folder of that name opens but cannot be read: the short read makes the load fail.
bool loadHighScoresFrom(const char* path, HighScoreTable& table) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  HighScoreBytes bytes{};
  std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  return decodeHighScores(bytes.data(), got, table);
}

// Written beside the real file, flushed to the disk and renamed over it, so a crash or a
// power cut leaves either the old file or the new one, never half of one.
bool saveHighScoresTo(const char* path, const HighScoreTable& table) {
  const std::string target(path);
  const std::string temporary = target + ".tmp";
  const HighScoreBytes bytes = encodeHighScores(table);

  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                 std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  written = (std::fclose(file) == 0) && written;
  if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  syncFolderOf(target);
  return true;
}

bool loadHighScores() { return loadHighScoresFrom(kHighScoreFile, highScoreTable); }

void saveHighScores() { saveHighScoresTo(kHighScoreFile, highScoreTable); }

void resetHighScores() {
  setDefaultHighScores(highScoreTable);
  saveHighScores();
}
