// The three best scores of each game mode, and the HIGHSCORE.DAT file that keeps them.
#pragma once
#include <cstdint>

inline constexpr int kModes = 3;
inline constexpr int kRanks = 3;
inline constexpr int kLetters = 3;
inline constexpr int kGlyphs = 27;

struct HighScoreEntry {
  int16_t letters[kLetters];
  uint32_t score;
};

struct HighScoreTable {
  HighScoreEntry entries[kModes][kRanks];  // [mode][rank], rank 0 the best
};

extern HighScoreTable highScoreTable;

bool loadHighScores();
void saveHighScores();
void resetHighScores();
