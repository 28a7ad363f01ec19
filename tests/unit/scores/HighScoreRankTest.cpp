// Where a new score goes in its mode's table, and how the entries below it move down.
#include <gtest/gtest.h>

#include <cstdint>

#include "game/GameState.h"
#include "scores/HighScoreTable.h"

namespace {
HighScoreTable tableWithScores(uint32_t first, uint32_t second, uint32_t third, int mode = Score) {
  HighScoreTable table{};
  setDefaultHighScores(table);
  const uint32_t scores[] = {first, second, third};
  for (int r = 0; r < kRanks; ++r)
    table.entries[mode][r] = {{static_cast<int16_t>(r), static_cast<int16_t>(r), 0}, scores[r]};
  return table;
}
}  // namespace

TEST(HighScoreRank, FirstRankWhoseScoreIsBeaten) {
  struct Case {
    uint32_t table[3];
    int mode;
    uint32_t score;
    int rank;
  };
  const Case cases[] = {
      {{500, 300, 100}, Score, 600, 0},
      {{500, 300, 100}, Score, 500, 1},  // an equal score stays below the older one
      {{500, 300, 100}, Score, 301, 1},
      {{500, 300, 100}, Score, 300, 2},
      {{500, 300, 100}, Score, 101, 2},
      {{500, 300, 100}, Score, 100, -1},
      {{500, 300, 100}, Score, 0, -1},
      {{1, 1, 1}, Score, 1, -1},
      {{1, 1, 1}, Score, 2, 0},
      // Unsigned: 2^31 and above rank over everything smaller.
      {{0x80000000u, 5, 1}, Score, 0xFFFFFFFFu, 0},
      {{0x80000000u, 5, 1}, Score, 0x80000000u, 1},
      {{0x90000000u, 0x80000000u, 1}, Score, 0x80000001u, 1},
      {{500, 300, 100}, Collect, 50, -1},  // the Collect table here is 500, 300, 100
      {{500, 300, 100}, -1, 600, -1},
      {{500, 300, 100}, 3, 600, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " score " << c.score);
    int tableMode = c.mode >= 0 && c.mode < kModes ? c.mode : Score;
    HighScoreTable table = tableWithScores(c.table[0], c.table[1], c.table[2], tableMode);
    EXPECT_EQ(highScoreRank(table, c.mode, c.score), c.rank);
  }
}

TEST(HighScoreRank, OtherModesDoNotCount) {
  HighScoreTable table = tableWithScores(500, 300, 100, Collect);
  EXPECT_EQ(highScoreRank(table, Collect, 200), 2);
  EXPECT_EQ(highScoreRank(table, TimeAttack, 200), 0);  // TimeAttack still holds the defaults
}

TEST(PlaceHighScore, NewEntryAtItsRankAndTheRestMovedDown) {
  struct Case {
    int rank;
    uint32_t scores[3];
    int16_t firstLetters[3];  // first letter of each rank afterwards (0, 1, 2 were old ranks)
  };
  const int16_t mine[3] = {7, 4, 11};
  const Case cases[] = {
      {0, {600, 500, 300}, {7, 0, 1}},
      {1, {500, 600, 300}, {0, 7, 1}},
      {2, {500, 300, 600}, {0, 1, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "rank " << c.rank);
    HighScoreTable table = tableWithScores(500, 300, 100);
    HighScoreTable untouched = table;
    placeHighScore(table, Score, c.rank, 600, mine);
    for (int r = 0; r < kRanks; ++r) {
      EXPECT_EQ(table.entries[Score][r].score, c.scores[r]) << "rank " << r;
      EXPECT_EQ(table.entries[Score][r].letters[0], c.firstLetters[r]) << "rank " << r;
    }
    EXPECT_EQ(table.entries[Score][c.rank].letters[1], 4);
    EXPECT_EQ(table.entries[Score][c.rank].letters[2], 11);
    for (int mode : {Collect, TimeAttack})
      for (int r = 0; r < kRanks; ++r)
        EXPECT_EQ(table.entries[mode][r].score, untouched.entries[mode][r].score);
  }
}
