// HIGHSCORE.DAT on disk: the 94-byte image, and its load, save and merge on any path.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "scores/HighScoreTable.h"
#include "scores/SharedFile.h"

// The 94-byte file image: nine little-endian entries and their wrapping checksum.
using HighScoreBytes = std::array<uint8_t, kHighScoreFileBytes>;
HighScoreBytes encodeHighScores(const HighScoreTable& table);
// True when at least 94 bytes are given and the stored checksum matches; only then is
// the table written. Bytes after the checksum are ignored.
bool decodeHighScores(const uint8_t* bytes, std::size_t size, HighScoreTable& table);

// An entry this run placed, kept until a save has put it into the file.
struct PlacedScore {
  int mode;
  uint32_t score;
  int16_t letters[kLetters];
};

// What a merge did to the file, and whether this run's entries are surely in it: every placed
// entry that still ranks is in the file, and the save held the lock every saver takes, so no
// other save can have replaced it unseen. Without that the caller keeps them elsewhere.
struct MergeOutcome : FileOutcome {
  bool entriesSure = false;
};

// The placed entries the table lacks: neither in it nor rightly pushed out by better ones.
// Each entry of the table stands for one placed entry only, so a score made twice is two.
std::vector<PlacedScore> missingEntries(const HighScoreTable& table,
                                        std::span<const PlacedScore> placed);

// The load changes the table only when it returns true. Paths are taken from the working
// folder unless absolute, links followed only when trusted.
bool loadHighScoresFrom(const char* path, HighScoreTable& table);
// Writes exactly this table.
FileOutcome saveHighScoresTo(const char* path, const HighScoreTable& table);
// Reads the file as it is now and places into it the entries this run placed, by the table's
// own ranking; the result becomes table and the file. A missing or damaged file is replaced
// by table as it stands; one that cannot be read is left alone and the save fails.
MergeOutcome mergeHighScoresInto(const char* path, HighScoreTable& table,
                                 std::span<const PlacedScore> placed);
// The same in a folder already walked to, under the lock every saver takes on the file (see
// FileLock). A file that cannot be locked in time is not written: the merge fails, its entries
// not sure. Right after its bytes are in place the save reads them back, and says what it saw
// when another program changed them. Every entry given is placed (the same score twice is two
// entries): give only those no save has put in yet.
MergeOutcome mergeHighScoresAt(const FileInFolder& at, HighScoreTable& table,
                               std::span<const PlacedScore> placed);
