// The high score tables in memory: defaults, checksum and where a new score goes.
#include "scores/HighScoreTable.h"

HighScoreTable highScoreTable;

void setDefaultHighScores(HighScoreTable& table) {
  for (auto& mode : table.entries)
    for (auto& entry : mode) entry = HighScoreEntry{{0, 0, 0}, 1};
}

// Wraps modulo 2^32: letters count sign-extended, so a stored FF FF subtracts 7.
uint32_t highScoreChecksum(const HighScoreTable& table) {
  uint32_t sum = 0;
  for (int mode = 0; mode < kModes; ++mode) {
    for (const HighScoreEntry& entry : table.entries[mode]) {
      for (int16_t letter : entry.letters) sum += 7u * static_cast<uint32_t>(int32_t{letter});
      sum += static_cast<uint32_t>(mode) + 2u * entry.score;
    }
  }
  return sum;
}

int highScoreRank(const HighScoreTable& table, int mode, uint32_t score) {
  if (mode < 0 || mode >= kModes) return -1;
  for (int rank = 0; rank < kRanks; ++rank)
    if (score > table.entries[mode][rank].score) return rank;
  return -1;
}

void placeHighScore(HighScoreTable& table, int mode, int rank, uint32_t score,
                    const int16_t letters[kLetters]) {
  if (mode < 0 || mode >= kModes || rank < 0 || rank >= kRanks) return;
  HighScoreEntry* entries = table.entries[mode];
  for (int below = kRanks - 1; below > rank; --below) entries[below] = entries[below - 1];
  entries[rank] = HighScoreEntry{{letters[0], letters[1], letters[2]}, score};
}
