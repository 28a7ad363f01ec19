// The three best scores of each game mode, and the HIGHSCORE.DAT file that keeps them.
#pragma once
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
// lives elsewhere, else from the defaults, and saves it. A save merges this run's new entries
// into the file as other copies of the game left it, and tells stderr when it fails.
bool loadHighScores();
void saveHighScores();
void resetHighScores();
// Places a new entry in highScoreTable and saves at once, so a lost session keeps it.
void recordHighScore(int mode, int rank, uint32_t score, const int16_t letters[kLetters]);

void setDefaultHighScores(HighScoreTable& table);
uint32_t highScoreChecksum(const HighScoreTable& table);

// The rank a score takes in a mode's table (it must beat the stored score, unsigned),
// or -1 when it takes none or the mode is not a table.
int highScoreRank(const HighScoreTable& table, int mode, uint32_t score);
// Writes the entry at rank and moves the entries below it down; the last one drops out.
void placeHighScore(HighScoreTable& table, int mode, int rank, uint32_t score,
                    const int16_t letters[kLetters]);
