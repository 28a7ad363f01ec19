// HIGHSCORE.DAT: the 94-byte little-endian file image, its load, its save and the merge of
// a run's new entries into what other copies of the game saved meanwhile.
#include <fcntl.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scores/HighScoreFile.h"

#include "files/ReadFile.h"

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
  FileInFolder at;
  if (!walkToFile(AT_FDCWD, path, at)) return false;
  HighScoreBytes bytes{};
  std::size_t got = 0;
  return readFileStart(at, bytes, got) && decodeHighScores(bytes.data(), got, table);
}

FileOutcome saveHighScoresTo(const char* path, const HighScoreTable& table) {
  FileInFolder at;
  if (FileOutcome walked = walkToFile(AT_FDCWD, path, at); !walked) return walked;
  return replaceSharedFile(at, encodeHighScores(table));
}

MergeOutcome mergeHighScoresInto(const char* path, HighScoreTable& table,
                                 std::span<const PlacedScore> placed) {
  FileInFolder at;
  if (FileOutcome walked = walkToFile(AT_FDCWD, path, at); !walked) return {walked};
  return mergeHighScoresAt(at, table, placed);
}

namespace {
// Enough to see a file longer than a table, which a save shortens.
using FileStart = std::array<uint8_t, kHighScoreFileBytes + 1>;

// Rounds of a save whose file was made or replaced by another meanwhile; each one is another
// save's progress, so a few suffice.
constexpr int kMergeTries = 5;

bool sameEntry(const HighScoreEntry& entry, const PlacedScore& placed) {
  return entry.score == placed.score && entry.letters[0] == placed.letters[0] &&
         entry.letters[1] == placed.letters[1] && entry.letters[2] == placed.letters[2];
}

// The table with the entries put in by its ranking.
HighScoreTable withPlaced(HighScoreTable table, std::span<const PlacedScore> placed) {
  for (const PlacedScore& entry : placed) {
    const int rank = highScoreRank(table, entry.mode, entry.score);
    if (rank >= 0) placeHighScore(table, entry.mode, rank, entry.score, entry.letters);
  }
  return table;
}

std::string entries(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " new entry is" : " new entries are");
}

// What the file held right after this save's bytes took its place, when that was not them:
// nothing, something that is no table, or another save's table without this run's entries.
MergeOutcome changedRightAfter(const FileInFolder& at, std::span<const PlacedScore> placed) {
  FileStart after{};
  std::size_t got = 0;
  HighScoreTable onDisk{};
  const FileOutcome read = readSharedFile(at, after, got);
  std::string seen;
  if (!read)
    seen = "another program changed the file right after the save: " + read.reason;
  else if (got == 0)
    seen = "another program removed the file right after the save";
  else if (!decodeHighScores(after.data(), got, onDisk))
    seen = "another program wrote into the file at the same moment: it holds no score table now";
  else if (std::size_t lost = missingEntries(onDisk, placed).size(); lost > 0)
    return {FileOutcome::refused("another save replaced the file at the same moment; " +
                                 entries(lost) + " not in it yet")};
  else
    return {FileOutcome::ok()};
  return {FileOutcome::refused(seen)};
}
}  // namespace

std::vector<PlacedScore> missingEntries(const HighScoreTable& table,
                                        std::span<const PlacedScore> placed) {
  std::vector<PlacedScore> missing;
  bool matched[kModes][kRanks] = {};
  for (const PlacedScore& entry : placed) {
    if (entry.mode < 0 || entry.mode >= kModes) continue;
    bool found = false;
    for (int rank = 0; rank < kRanks && !found; ++rank) {
      if (!matched[entry.mode][rank] && sameEntry(table.entries[entry.mode][rank], entry))
        found = matched[entry.mode][rank] = true;
    }
    if (!found && highScoreRank(table, entry.mode, entry.score) >= 0) missing.push_back(entry);
  }
  return missing;
}

// Every save takes the lock on the file in place, so between its read and its replace no other
// save can come; a file made or replaced by someone who did not take it sends the save round
// again. Where the lock is another's for longer than any save takes, the save writes nothing:
// its write could undo a locked save that was already told its entries were in. Where no one
// can lock the file, the save does its best without, and is never sure of its entries.
MergeOutcome mergeHighScoresAt(const FileInFolder& at, HighScoreTable& table,
                               std::span<const PlacedScore> placed) {
  FileLock lock(at);
  // Every entry is placed until this save has written them: the same score twice is two entries.
  std::vector<PlacedScore> toPlace(placed.begin(), placed.end());
  for (int attempt = 0; attempt < kMergeTries; ++attempt) {
    if (lock.state() == FileLock::State::Busy || lock.state() == FileLock::State::Failed)
      return {lock.outcome()};
    if (lock.state() == FileLock::State::Missing) {
      // The first file: whoever makes it first, every save then merges into it under the lock.
      const FileOutcome made = makeSharedFile(at, encodeHighScores(table));
      if (!made && made.reason != kChangedMeanwhile) return {made};
      if (made) toPlace.clear();  // the table as it stands holds them
      lock.retake();
      continue;
    }

    FileStart before{};
    std::size_t got = 0;
    if (FileOutcome read = readSharedFile(at, before, got); !read) return {read};
    // A missing or damaged file: the table in memory stands.
    HighScoreTable merged = table;
    if (decodeHighScores(before.data(), got, merged)) merged = withPlaced(merged, toPlace);
    const HighScoreBytes image = encodeHighScores(merged);
    // The file already says exactly this: writing it again could only undo another's save.
    if (got == image.size() && std::equal(image.begin(), image.end(), before.begin())) {
      table = merged;
      return {FileOutcome::ok(), lock.held()};
    }
    auto inPlace = [&] { return lock.stillInPlace(); };
    auto unchanged = [&] {
      FileStart now{};
      std::size_t gotNow = 0;
      return readSharedFile(at, now, gotNow) && gotNow == got && now == before;
    };
    const FileOutcome saved =
        replaceSharedFile(at, image, lock.held() ? StillCurrent(inPlace) : StillCurrent(unchanged));
    if (!saved.replaced && saved.reason == kChangedMeanwhile) {
      lock.retake();
      continue;
    }
    if (!saved.replaced) return {saved};
    table = merged;
    if (!saved) return {saved};
    // Only a program that takes no lock can have changed it since; say what it left.
    if (MergeOutcome checked = changedRightAfter(at, placed); !checked) return checked;
    return {saved, lock.held()};
  }
  return {FileOutcome::refused(kChangedMeanwhile)};
}
