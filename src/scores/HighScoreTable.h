// The three best scores of each game mode, and the HIGHSCORE.DAT file that keeps them.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr int kModes = 3;
inline constexpr int kRanks = 3;
inline constexpr int kLetters = 3;
inline constexpr int kGlyphs = 27;

inline constexpr const char* kHighScoreFile = "HIGHSCORE.DAT";
inline constexpr std::size_t kHighScoreEntryBytes = 10;
inline constexpr std::size_t kHighScoreFileBytes = kModes * kRanks * kHighScoreEntryBytes + 4;

struct HighScoreEntry {
  int16_t letters[kLetters];
  uint32_t score;
};

struct HighScoreTable {
  HighScoreEntry entries[kModes][kRanks];  // [mode][rank], rank 0 the best
};

extern HighScoreTable highScoreTable;

// The player's high score file (see HighScoreLocation.h), read into and written from
// highScoreTable. The reset starts from the table beside the program when the player's file
// lives elsewhere, else from the defaults, and saves it.
bool loadHighScores();
void saveHighScores();
void resetHighScores();

// The same operations on any path and table, so a scratch file can stand in.
// The load changes the table only when it returns true; the save returns whether the
// new file is on the disk (the game itself ignores that, a failed save keeps the old file).
bool loadHighScoresFrom(const char* path, HighScoreTable& table);
bool saveHighScoresTo(const char* path, const HighScoreTable& table);
void setDefaultHighScores(HighScoreTable& table);

// The flush every save waits for (fsync); tests put a stand-in here.
using SyncFunction = int (*)(int fd);
extern SyncFunction highScoreSync;

// The 94-byte file image: nine little-endian entries and their wrapping checksum.
using HighScoreBytes = std::array<uint8_t, kHighScoreFileBytes>;
uint32_t highScoreChecksum(const HighScoreTable& table);
HighScoreBytes encodeHighScores(const HighScoreTable& table);
// True when at least 94 bytes are given and the stored checksum matches; only then is
// the table written. Bytes after the checksum are ignored.
bool decodeHighScores(const uint8_t* bytes, std::size_t size, HighScoreTable& table);

// The rank a score takes in a mode's table (it must beat the stored score, unsigned),
// or -1 when it takes none or the mode is not a table.
int highScoreRank(const HighScoreTable& table, int mode, uint32_t score);
// Writes the entry at rank and moves the entries below it down; the last one drops out.
void placeHighScore(HighScoreTable& table, int mode, int rank, uint32_t score,
                    const int16_t letters[kLetters]);
