// The kept-scores file: a tag, a count, the entries and a checksum, byte by byte.
#include "scores/KeptScores.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "files/ReadFile.h"
#include "scores/SharedFile.h"

namespace {
constexpr char kTag[] = {'Z', 'E', 'P', 'H', 'K', 'E', 'P', 'T'};
constexpr std::size_t kEntryBytes = 1 + 2 * kLetters + 4;
constexpr std::size_t kMostKept = std::size_t(kModes) * kRanks;
constexpr std::size_t kLargestFile = sizeof kTag + 1 + kMostKept * kEntryBytes + 4;
constexpr const char* kDamagedKept = "damaged";

uint32_t checksumOf(std::span<const uint8_t> bytes) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (uint8_t byte : bytes) hash = (hash ^ byte) * 16777619u;
  return hash;
}

void putLittle(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t getLittle(const uint8_t* at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= uint32_t{at[i]} << (8 * i);
  return value;
}

bool sameEntry(const PlacedScore& a, const PlacedScore& b) {
  return a.mode == b.mode && a.score == b.score &&
         std::equal(a.letters, a.letters + kLetters, b.letters);
}

bool validEntry(const PlacedScore& entry) {
  if (entry.mode < 0 || entry.mode >= kModes) return false;
  return std::all_of(entry.letters, entry.letters + kLetters,
                     [](int16_t letter) { return letter >= 0 && letter < kGlyphs; });
}

FileOutcome writeKept(const FileInFolder& at, std::span<const PlacedScore> entries) {
  if (entries.empty()) {
    if (::unlinkat(at.folder.get(), at.name.c_str(), 0) == 0 || errno == ENOENT)
      return FileOutcome::ok();
    return FileOutcome::failed(errno);
  }
  return replaceSharedFile(at, encodeKeptScores(entries));
}
}  // namespace

std::vector<PlacedScore> bestPerMode(std::span<const PlacedScore> entries) {
  std::vector<PlacedScore> best(entries.begin(), entries.end());
  std::stable_sort(best.begin(), best.end(), [](const PlacedScore& a, const PlacedScore& b) {
    return a.mode != b.mode ? a.mode < b.mode : a.score > b.score;
  });
  std::vector<PlacedScore> kept;
  int inMode[kModes] = {};
  for (const PlacedScore& entry : best)
    if (validEntry(entry) && inMode[entry.mode]++ < kRanks) kept.push_back(entry);
  return kept;
}

std::vector<uint8_t> encodeKeptScores(std::span<const PlacedScore> entries) {
  const std::vector<PlacedScore> kept = bestPerMode(entries);
  std::vector<uint8_t> bytes(std::begin(kTag), std::end(kTag));
  bytes.push_back(static_cast<uint8_t>(kept.size()));
  for (const PlacedScore& entry : kept) {
    bytes.push_back(static_cast<uint8_t>(entry.mode));
    for (int16_t letter : entry.letters) putLittle(bytes, static_cast<uint16_t>(letter), 2);
    putLittle(bytes, entry.score, 4);
  }
  putLittle(bytes, checksumOf(bytes), 4);
  return bytes;
}

bool decodeKeptScores(std::span<const uint8_t> bytes, std::vector<PlacedScore>& entries) {
  if (bytes.size() < sizeof kTag + 1 + 4 ||
      !std::equal(std::begin(kTag), std::end(kTag), bytes.begin()))
    return false;
  const std::size_t count = bytes[sizeof kTag];
  if (count > kMostKept || bytes.size() != sizeof kTag + 1 + count * kEntryBytes + 4) return false;
  const std::size_t checked = bytes.size() - 4;
  if (getLittle(bytes.data() + checked, 4) != checksumOf(bytes.first(checked))) return false;
  std::vector<PlacedScore> read;
  const uint8_t* at = bytes.data() + sizeof kTag + 1;
  for (std::size_t i = 0; i < count; ++i, at += kEntryBytes) {
    PlacedScore entry{at[0], getLittle(at + 1 + 2 * kLetters, 4), {}};
    for (int k = 0; k < kLetters; ++k)
      entry.letters[k] = static_cast<int16_t>(static_cast<uint16_t>(getLittle(at + 1 + 2 * k, 2)));
    if (!validEntry(entry)) return false;
    read.push_back(entry);
  }
  entries = std::move(read);
  return true;
}

void placeMissing(HighScoreTable& table, std::span<const PlacedScore> entries) {
  for (const PlacedScore& entry : missingEntries(table, entries)) {
    const int rank = highScoreRank(table, entry.mode, entry.score);
    if (rank >= 0) placeHighScore(table, entry.mode, rank, entry.score, entry.letters);
  }
}

namespace {
// The player's own folder, locked while the record is read and rewritten. Only the player's own
// copies of the game can open it, and each holds it for microseconds; one stuck past a second
// does not keep the entries from being written.
class OwnFolderLock {
 public:
  explicit OwnFolderLock(const FileInFolder& at)
      : folder(::openat(at.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    for (int attempt = 0; folder.valid() && attempt < 100; ++attempt) {
      if (::flock(folder.get(), LOCK_EX | LOCK_NB) == 0) return;
      if (errno != EWOULDBLOCK && errno != EINTR) return;
      timespec pause{0, 10'000'000};
      ::nanosleep(&pause, nullptr);
    }
  }

 private:
  FileDescriptor folder;
};
}  // namespace

FileOutcome readKeptScores(const FileInFolder& at, std::vector<PlacedScore>& entries) {
  entries.clear();
  std::array<uint8_t, kLargestFile + 1> bytes{};
  std::size_t got = 0;
  FileOutcome read = readFileStart(at, bytes, got);
  if (!read) return read.reason == kMissingReason ? FileOutcome::ok() : read;
  if (!decodeKeptScores(std::span(bytes).first(got), entries))
    return FileOutcome::refused(kDamagedKept);
  return FileOutcome::ok();
}

// Under the folder's lock, so two copies of the game keep and release each other's entries.
FileOutcome keepScores(const FileInFolder& at, std::span<const PlacedScore> entries) {
  const OwnFolderLock lock(at);
  std::vector<PlacedScore> kept;
  // A damaged record is replaced: what it held is beyond saving, the new entries are not.
  if (FileOutcome read = readKeptScores(at, kept); !read && read.reason != kDamagedKept)
    return read;
  std::vector<bool> counted(kept.size());
  const std::size_t before = kept.size();
  for (const PlacedScore& entry : entries) {
    std::size_t i = 0;
    while (i < before && (counted[i] || !sameEntry(kept[i], entry))) ++i;
    if (i < before)
      counted[i] = true;
    else
      kept.push_back(entry);
  }
  return writeKept(at, bestPerMode(kept));
}

FileOutcome releaseKeptScores(const FileInFolder& at, const HighScoreTable& table) {
  const OwnFolderLock lock(at);
  std::vector<PlacedScore> kept;
  if (FileOutcome read = readKeptScores(at, kept); !read) return read;
  const std::vector<PlacedScore> left = missingEntries(table, kept);
  if (!kept.empty() && left.size() == kept.size()) return FileOutcome::ok();
  return writeKept(at, left);
}
