// The HIGHSCORE.DAT image, its load and its atomic save, on files in a scratch folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "game/GameState.h"
#include "scores/HighScoreTable.h"

namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes defaultFile() {
  Bytes bytes;
  for (int entry = 0; entry < 9; ++entry)
    bytes.insert(bytes.end(), {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
  bytes.insert(bytes.end(), {0x1B, 0x00, 0x00, 0x00});
  return bytes;
}

HighScoreTable defaults() {
  HighScoreTable table{};
  setDefaultHighScores(table);
  return table;
}

// Something no load would produce, to see whether a failed load touched the table.
HighScoreTable sentinelTable() {
  HighScoreTable table{};
  for (auto& mode : table.entries)
    for (auto& entry : mode) entry = HighScoreEntry{{9, 9, 9}, 4242};
  return table;
}

bool sameTable(const HighScoreTable& a, const HighScoreTable& b) {
  for (int m = 0; m < kModes; ++m)
    for (int r = 0; r < kRanks; ++r) {
      const HighScoreEntry& x = a.entries[m][r];
      const HighScoreEntry& y = b.entries[m][r];
      if (x.score != y.score || std::memcmp(x.letters, y.letters, sizeof x.letters) != 0)
        return false;
    }
  return true;
}

void putChecksum(Bytes& bytes, uint32_t sum) {
  for (int i = 0; i < 4; ++i) bytes[90 + i] = static_cast<uint8_t>(sum >> (8 * i));
}

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zeph-scores-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    file = folder + "/HIGHSCORE.DAT";
  }
  void TearDown() override {
    chmod(folder.c_str(), 0755);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  void write(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
  }
  Bytes read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  bool temporaryLeft() {
    for (const auto& item : fs::directory_iterator(folder))
      if (item.path().filename() != "HIGHSCORE.DAT") return true;
    return false;
  }

  std::string folder;
  std::string file;
};
}  // namespace

// ---- The file image ------------------------------------------------------------------------

TEST(HighScoreImage, DefaultTableIsNineEqualEntriesAndChecksum27) {
  HighScoreBytes bytes = encodeHighScores(defaults());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), defaultFile());
}

TEST(HighScoreImage, WorkedEntriesAndChecksums) {
  struct Case {
    const char* name;
    std::function<void(HighScoreTable&)> change;
    uint32_t checksum;
    std::size_t offset;  // where the changed entry's bytes start
    Bytes entryBytes;
  };
  const Case cases[] = {
      {"Collect rank 0 spells 7 4 11 with 1000",
       [](HighScoreTable& t) {
         t.entries[Collect][0] = {{7, 4, 11}, 1000};
       },
       2179,
       0,
       {0x07, 0x00, 0x04, 0x00, 0x0B, 0x00, 0xE8, 0x03, 0x00, 0x00}},
      {"a score of 2^31 adds nothing to the wrapping sum",
       [](HighScoreTable& t) { t.entries[TimeAttack][2].score = 0x80000000u; },
       25,
       80,
       {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80}},
      {"letter -1 is stored FF FF and subtracts 7",
       [](HighScoreTable& t) { t.entries[Score][1].letters[2] = -1; },
       20,
       40,
       {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00}},
      {"the largest score wraps the sum",
       [](HighScoreTable& t) { t.entries[Score][0].score = 0xFFFFFFFFu; },
       27 - 2 - 2,
       30,
       {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HighScoreTable table = defaults();
    c.change(table);
    EXPECT_EQ(highScoreChecksum(table), c.checksum);
    HighScoreBytes bytes = encodeHighScores(table);
    EXPECT_EQ(Bytes(bytes.begin() + c.offset, bytes.begin() + c.offset + 10), c.entryBytes);
    const uint8_t* sum = bytes.data() + 90;
    EXPECT_EQ(sum[0] | sum[1] << 8 | sum[2] << 16 | uint32_t{sum[3]} << 24, c.checksum);
  }
}

TEST(HighScoreImage, EveryEntryKeepsItsPlaceThroughDecode) {
  HighScoreTable table{};
  for (int m = 0; m < kModes; ++m)
    for (int r = 0; r < kRanks; ++r)
      table.entries[m][r] = {{static_cast<int16_t>(m * 10 + r), static_cast<int16_t>(-1 - r),
                              static_cast<int16_t>(32767 - m)},
                             0x01020304u * static_cast<uint32_t>(3 * m + r + 1)};
  HighScoreBytes bytes = encodeHighScores(table);
  // Entry 5 is Score rank 2: its first letter and score at offsets 50 and 56.
  EXPECT_EQ(bytes[50], 12);
  EXPECT_EQ(bytes[56], 0x04 * 6);

  HighScoreTable decoded{};
  ASSERT_TRUE(decodeHighScores(bytes.data(), bytes.size(), decoded));
  EXPECT_TRUE(sameTable(decoded, table));
}

// ---- Loading ------------------------------------------------------------------------------

TEST_F(ScratchFolder, LoadAcceptsOnlyWholeFilesWithTheirChecksum) {
  struct Case {
    const char* name;
    std::function<Bytes()> content;
    bool loads;
    std::function<void(HighScoreTable&)> expected;  // applied to the defaults
  };
  auto none = [](HighScoreTable&) {};
  const Case cases[] = {
      {"the default file", defaultFile, true, none},
      {"93 bytes",
       [] {
         Bytes b = defaultFile();
         b.pop_back();
         return b;
       },
       false, none},
      {"empty", [] { return Bytes{}; }, false, none},
      {"one letter changed",
       [] {
         Bytes b = defaultFile();
         b[42] = 3;
         return b;
       },
       false, none},
      {"checksum changed",
       [] {
         Bytes b = defaultFile();
         b[93] = 1;
         return b;
       },
       false, none},
      {"a score's top bit flipped keeps the sum",
       [] {
         Bytes b = defaultFile();
         b[89] ^= 0x80;
         return b;
       },
       true, [](HighScoreTable& t) { t.entries[TimeAttack][2].score = 0x80000001u; }},
      {"extra bytes after the checksum",
       [] {
         Bytes b = defaultFile();
         b.insert(b.end(), {0xDE, 0xAD, 0xBE, 0xEF, 0x00});
         return b;
       },
       true, none},
      {"letters FF FF and 30 with a matching sum",
       [] {
         Bytes b = defaultFile();
         b[0] = b[1] = 0xFF;
         b[2] = 30;
         putChecksum(b, 27 - 7 + 7 * 30);
         return b;
       },
       true,
       [](HighScoreTable& t) {
         t.entries[Collect][0].letters[0] = -1;
         t.entries[Collect][0].letters[1] = 30;
       }},
      {"scores out of order load as stored",
       [] {
         HighScoreTable t = defaults();
         t.entries[Score][0].score = 5;
         t.entries[Score][1].score = 500;
         t.entries[Score][2].score = 300;
         HighScoreBytes b = encodeHighScores(t);
         return Bytes(b.begin(), b.end());
       },
       true,
       [](HighScoreTable& t) {
         t.entries[Score][0].score = 5;
         t.entries[Score][1].score = 500;
         t.entries[Score][2].score = 300;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write(file, c.content());
    HighScoreTable table = sentinelTable();
    EXPECT_EQ(loadHighScoresFrom(file.c_str(), table), c.loads);
    HighScoreTable expected = c.loads ? defaults() : sentinelTable();
    if (c.loads) c.expected(expected);
    EXPECT_TRUE(sameTable(table, expected));
  }
}

TEST_F(ScratchFolder, LoadFailsWithoutTouchingTheTableWhenTheFileCannotBeRead) {
  HighScoreTable table = sentinelTable();
  EXPECT_FALSE(loadHighScoresFrom(file.c_str(), table)) << "missing";
  ASSERT_TRUE(fs::create_directory(file));
  EXPECT_FALSE(loadHighScoresFrom(file.c_str(), table)) << "a folder of that name";
  EXPECT_TRUE(sameTable(table, sentinelTable()));
}

// ---- Saving -------------------------------------------------------------------------------

TEST_F(ScratchFolder, SaveWritesTheImageAndAnExtraByteFileComesBackAs94) {
  Bytes longer = defaultFile();
  longer.insert(longer.end(), 10, 0xAB);
  write(file, longer);
  HighScoreTable table{};
  ASSERT_TRUE(loadHighScoresFrom(file.c_str(), table));
  table.entries[Collect][0] = {{7, 4, 11}, 1000};

  EXPECT_TRUE(saveHighScoresTo(file.c_str(), table));
  Bytes saved = read(file);
  ASSERT_EQ(saved.size(), 94u);
  EXPECT_EQ(Bytes(saved.begin() + 90, saved.end()), (Bytes{0x83, 0x08, 0x00, 0x00}));
  EXPECT_FALSE(temporaryLeft());

  HighScoreTable reloaded{};
  ASSERT_TRUE(loadHighScoresFrom(file.c_str(), reloaded));
  EXPECT_TRUE(sameTable(reloaded, table));
}

// The new file replaces the old one whole: a reader holding the old file still sees all of
// it, which an in-place rewrite (truncate, then write) would not give.
TEST_F(ScratchFolder, SaveOverAnExistingFileReplacesItWhole) {
  write(file, defaultFile());
  int oldFile = open(file.c_str(), O_RDONLY);
  ASSERT_GE(oldFile, 0);
  write(file + ".tmp", Bytes(7, 0x55));  // left behind by an earlier crash

  HighScoreTable table = defaults();
  table.entries[Score][0].score = 123456;
  EXPECT_TRUE(saveHighScoresTo(file.c_str(), table));

  Bytes old(200);
  ssize_t got = pread(oldFile, old.data(), old.size(), 0);
  close(oldFile);
  old.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  EXPECT_EQ(old, defaultFile());
  HighScoreBytes expected = encodeHighScores(table);
  EXPECT_EQ(read(file), Bytes(expected.begin(), expected.end()));
  EXPECT_FALSE(temporaryLeft());
}

TEST_F(ScratchFolder, FailedSaveKeepsTheOldFileAndLeavesNoTemporary) {
  write(file, defaultFile());
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  {
    std::FILE* probe = std::fopen((folder + "/probe").c_str(), "wb");
    if (probe) {
      std::fclose(probe);
      std::remove((folder + "/probe").c_str());
      GTEST_SKIP() << "this user can write into a read-only folder (root?)";
    }
  }
  HighScoreTable table = defaults();
  table.entries[Collect][1].score = 999;
  EXPECT_FALSE(saveHighScoresTo(file.c_str(), table));
  EXPECT_EQ(read(file), defaultFile());
  EXPECT_FALSE(temporaryLeft());
  EXPECT_EQ(table.entries[Collect][1].score, 999u);
}

// A disk that fills up halfway through the save: the write is refused past 50 bytes.
TEST_F(ScratchFolder, SaveThatRunsOutOfSpaceKeepsTheOldFile) {
  write(file, defaultFile());
  HighScoreTable table = defaults();
  table.entries[TimeAttack][0].score = 77;

  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = previous;
  small.rlim_cur = 50;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool saved = saveHighScoresTo(file.c_str(), table);
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(saved);
  EXPECT_EQ(read(file), defaultFile());
  EXPECT_FALSE(temporaryLeft());
}

TEST_F(ScratchFolder, SaveOntoAFolderOfThatNameFailsAndCleansUp) {
  ASSERT_TRUE(fs::create_directory(file));
  EXPECT_FALSE(saveHighScoresTo(file.c_str(), defaults()));
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_FALSE(temporaryLeft());
}

// ---- The game's own operations on HIGHSCORE.DAT in the working directory --------------------

TEST_F(ScratchFolder, FirstRunResetsAndWritesTheDefaultFileThenLoadsIt) {
  fs::path previous = fs::current_path();
  fs::current_path(folder);
  HighScoreTable saved = highScoreTable;

  highScoreTable = sentinelTable();
  EXPECT_FALSE(loadHighScores());
  EXPECT_TRUE(sameTable(highScoreTable, sentinelTable()));
  resetHighScores();
  EXPECT_TRUE(sameTable(highScoreTable, defaults()));
  EXPECT_EQ(read(file), defaultFile());

  highScoreTable.entries[Score][0] = {{1, 2, 3}, 50000};
  saveHighScores();
  highScoreTable = sentinelTable();
  EXPECT_TRUE(loadHighScores());
  EXPECT_EQ(highScoreTable.entries[Score][0].score, 50000u);
  EXPECT_EQ(highScoreTable.entries[Score][0].letters[2], 3);

  highScoreTable = saved;
  fs::current_path(previous);
}
