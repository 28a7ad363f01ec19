// Entries a save could not be sure of, kept in a small file of the player's own data folder
// until a later save can put them into the shared table. Never a HIGHSCORE.DAT: its own name,
// its own tag and checksum, so neither file is ever read as the other.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "files/FileOutcome.h"
#include "files/FolderWalk.h"
#include "scores/HighScoreFile.h"

inline constexpr const char* kKeptScoresFile = "kept-scores";

// Only the best kRanks of each mode can ever rank in a table, so no more are kept.
std::vector<PlacedScore> bestPerMode(std::span<const PlacedScore> entries);
std::vector<uint8_t> encodeKeptScores(std::span<const PlacedScore> entries);
// False for anything but a whole, untouched record; entries is then left alone.
bool decodeKeptScores(std::span<const uint8_t> bytes, std::vector<PlacedScore>& entries);

// Places those of entries the table lacks, by its own ranking.
void placeMissing(HighScoreTable& table, std::span<const PlacedScore> entries);

// The kept entries at the name in its folder; a missing file holds none.
FileOutcome readKeptScores(const FileInFolder& at, std::vector<PlacedScore>& entries);
// Adds entries to those kept there (a second copy of the game may have kept its own).
FileOutcome keepScores(const FileInFolder& at, std::span<const PlacedScore> entries);
// Drops the kept entries the table, now surely on disk, holds or outranks; the file goes with
// the last of them.
FileOutcome releaseKeptScores(const FileInFolder& at, const HighScoreTable& table);
