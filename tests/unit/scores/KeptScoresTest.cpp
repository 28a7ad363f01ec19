// The kept-scores record: what it accepts, and how copies of the game add and take entries.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "ScoreFiles.h"
#include "game/GameState.h"
#include "scores/KeptScores.h"

namespace {
PlacedScore entry(int mode, uint32_t score, int16_t letter = 1) {
  return {mode, score, {letter, letter, letter}};
}

std::string described(const std::vector<PlacedScore>& entries) {
  std::string text;
  for (const PlacedScore& e : entries)
    text += std::to_string(e.mode) + ":" + std::to_string(e.score) + ":" +
            std::to_string(e.letters[0]) + " ";
  return text;
}
}  // namespace

TEST(KeptScoresRecord, OnlyAWholeUntouchedRecordIsRead) {
  const std::vector<PlacedScore> entries = {entry(Collect, 5, 26), entry(Score, 900, 3)};
  const std::vector<uint8_t> good = encodeKeptScores(entries);
  struct Case {
    const char* name;
    std::function<std::vector<uint8_t>()> bytes;
    bool reads;
  };
  const Case cases[] = {
      {"as written", [&] { return good; }, true},
      {"a flipped bit",
       [&] {
         auto b = good;
         b[12] ^= 4;
         return b;
       },
       false},
      {"cut short", [&] { return std::vector<uint8_t>(good.begin(), good.end() - 1); }, false},
      {"a byte more",
       [&] {
         auto b = good;
         b.push_back(0);
         return b;
       },
       false},
      {"a high score table",
       [] {
         Bytes b = defaultFile();
         return std::vector<uint8_t>(b);
       },
       false},
      {"empty", [] { return std::vector<uint8_t>(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<PlacedScore> read = {entry(TimeAttack, 1)};
    EXPECT_EQ(decodeKeptScores(c.bytes(), read), c.reads);
    EXPECT_EQ(described(read), c.reads ? described(entries) : described({entry(TimeAttack, 1)}));
  }
}

// Only the best three of a mode can ever rank, so that is all the record keeps.
TEST(KeptScoresRecord, KeepsTheBestThreeOfEachMode) {
  const std::vector<PlacedScore> many = {entry(Score, 10), entry(Score, 40), entry(Collect, 7),
                                         entry(Score, 30), entry(Score, 20), entry(Score, 40, 2)};
  std::vector<PlacedScore> read;
  ASSERT_TRUE(decodeKeptScores(encodeKeptScores(many), read));
  EXPECT_EQ(described(read), "0:7:1 1:40:1 1:40:2 1:30:1 ");
}

// Entries a table holds or outranks are done; an entry made twice counts twice.
TEST(KeptScoresRecord, MissingEntriesAreThoseTheTableNeitherHoldsNorOutranks) {
  HighScoreTable table = defaults();
  placeHighScore(table, Score, 0, 500, entry(Score, 500).letters);
  placeHighScore(table, Score, 1, 300, entry(Score, 300).letters);
  placeHighScore(table, Score, 2, 200, entry(Score, 200).letters);
  const std::vector<PlacedScore> placed = {entry(Score, 500), entry(Score, 500), entry(Score, 100),
                                           entry(Score, 400), entry(Collect, 5)};
  EXPECT_EQ(described(missingEntries(table, placed)), "1:500:1 1:400:1 0:5:1 ");
  placeMissing(table, placed);
  EXPECT_EQ(scoresOf(table, Score), "500 500 400");
  EXPECT_EQ(table.entries[Collect][0].score, 5u);
  EXPECT_TRUE(missingEntries(table, placed).empty());
}

// Two copies of the game keep into one file: neither drops the other's entries, and an entry
// kept twice by the same run is kept once.
TEST_F(ScratchFolder, KeptEntriesAreAddedToAndTakenOutOfTheFile) {
  FileInFolder at;
  ASSERT_TRUE(walkToFile(AT_FDCWD, folder + "/" + kKeptScoresFile, at));
  std::vector<PlacedScore> kept;
  ASSERT_TRUE(readKeptScores(at, kept)) << "a missing file holds none";
  EXPECT_TRUE(kept.empty());

  ASSERT_TRUE(keepScores(at, std::vector{entry(Score, 700)}));
  ASSERT_TRUE(keepScores(at, std::vector{entry(Score, 700), entry(Collect, 9)}));
  ASSERT_TRUE(readKeptScores(at, kept));
  EXPECT_EQ(described(kept), "0:9:1 1:700:1 ");

  HighScoreTable table = defaults();
  placeHighScore(table, Score, 0, 700, entry(Score, 700).letters);
  ASSERT_TRUE(releaseKeptScores(at, table));
  ASSERT_TRUE(readKeptScores(at, kept));
  EXPECT_EQ(described(kept), "0:9:1 ") << "the entry the table lacks stays";

  placeHighScore(table, Collect, 0, 9, entry(Collect, 9).letters);
  ASSERT_TRUE(releaseKeptScores(at, table));
  EXPECT_EQ(listing(), std::vector<std::string>{}) << "the file goes with its last entry";

  write(folder + "/" + kKeptScoresFile, defaultFile());
  EXPECT_FALSE(readKeptScores(at, kept)) << "a high score table is no kept record";
  ASSERT_TRUE(keepScores(at, std::vector{entry(Score, 5)})) << "a damaged record is replaced";
  ASSERT_TRUE(readKeptScores(at, kept));
  EXPECT_EQ(described(kept), "1:5:1 ");
}
