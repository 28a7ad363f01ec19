// The HIGHSCORE.DAT image, its load and its atomic save, on files in a scratch folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ScoreFiles.h"
#include "game/GameState.h"
#include "scores/HighScoreFile.h"

namespace {
namespace fs = std::filesystem;

// Something no load would produce, to see whether a failed load touched the table.
HighScoreTable sentinelTable() {
  HighScoreTable table{};
  for (auto& mode : table.entries)
    for (auto& entry : mode) entry = HighScoreEntry{{9, 9, 9}, 4242};
  return table;
}

void putChecksum(Bytes& bytes, uint32_t sum) {
  for (int i = 0; i < 4; ++i) bytes[90 + i] = static_cast<uint8_t>(sum >> (8 * i));
}

HighScoreTable changedTable() {
  HighScoreTable table = defaults();
  table.entries[Score][0] = {{1, 2, 3}, 123456};
  return table;
}

const char* outcome(bool saved) { return saved ? "saved" : "failed"; }
const char* outcome(const FileOutcome& saved) { return outcome(bool(saved)); }

mode_t modeOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

ino_t inodeOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

bool anyTemporary(const std::vector<std::string>& paths) {
  for (const std::string& path : paths)
    if (path.ends_with(".tmp")) return true;
  return false;
}
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
  // A pipe with no writer would hold up a blocking open for ever.
  const std::string pipe = folder + "/PIPE.DAT";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  EXPECT_FALSE(loadHighScoresFrom(pipe.c_str(), table)) << "a pipe";
  EXPECT_TRUE(sameTable(table, sentinelTable()));
}

// ---- Saving, always as an ordinary user ----------------------------------------------------

namespace {
class Save : public ScratchFolder {
 protected:
  // The save run as the ordinary user, with the usual umask so a lost mode would show.
  std::string save(const std::string& path, const HighScoreTable& table) {
    return asPlayer([&] {
      ::umask(022);
      return std::string(outcome(saveHighScoresTo(path.c_str(), table)));
    });
  }
  std::string save(const HighScoreTable& table) { return save(file, table); }
};
}  // namespace

TEST_F(Save, WritesTheImageAndAnExtraByteFileComesBackAs94) {
  Bytes longer = defaultFile();
  longer.insert(longer.end(), 10, 0xAB);
  write(file, longer);
  HighScoreTable table{};
  ASSERT_TRUE(loadHighScoresFrom(file.c_str(), table));
  table.entries[Collect][0] = {{7, 4, 11}, 1000};

  EXPECT_EQ(save(table), "saved");
  Bytes saved = read(file);
  ASSERT_EQ(saved.size(), 94u);
  EXPECT_EQ(Bytes(saved.begin() + 90, saved.end()), (Bytes{0x83, 0x08, 0x00, 0x00}));
  EXPECT_FALSE(anyTemporary(listing()));

  HighScoreTable reloaded{};
  ASSERT_TRUE(loadHighScoresFrom(file.c_str(), reloaded));
  EXPECT_TRUE(sameTable(reloaded, table));
}

// The new file replaces the old one whole: a reader holding the old file still sees all of
// it, which an in-place rewrite (truncate, then write) would not give. So a crash at any
// point leaves the old file or the new one.
TEST_F(Save, OverAnExistingFileReplacesItWhole) {
  write(file, defaultFile());
  int oldFile = open(file.c_str(), O_RDONLY);
  ASSERT_GE(oldFile, 0);
  write(file + ".tmp", Bytes(7, 0x55));  // some other program's, or an older game's

  EXPECT_EQ(save(changedTable()), "saved");
  EXPECT_EQ(read(file + ".tmp"), Bytes(7, 0x55));

  Bytes old(200);
  ssize_t got = pread(oldFile, old.data(), old.size(), 0);
  close(oldFile);
  old.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  EXPECT_EQ(old, defaultFile());
  EXPECT_EQ(read(file), imageOf(changedTable()));
  EXPECT_EQ(listing(), (std::vector<std::string>{"HIGHSCORE.DAT", "HIGHSCORE.DAT.tmp"}));
}

// Which folder and file permissions let a save through, how it writes, and the mode it leaves.
TEST_F(Save, FollowsTheFolderAndFilePermissions) {
  enum Way { Replaced, InPlace, Refused };
  struct Case {
    const char* name;
    mode_t folderMode;
    mode_t fileMode;  // 0: no file yet
    Way way;
    mode_t modeAfter;
  };
  const Case cases[] = {
      {"writable folder, new file: the umask applies", 0755, 0, Replaced, 0644},
      {"writable folder, file 0644", 0755, 0644, Replaced, 0644},
      {"writable folder, group-writable file keeps its mode", 0755, 0666, Replaced, 0666},
      {"writable folder, private file stays private", 0755, 0600, Replaced, 0600},
      {"writable folder, read-only file is frozen", 0755, 0444, Refused, 0444},
      {"shared folder, only the file writable: in place", 0555, 0644, InPlace, 0644},
      {"shared folder, group-writable file: in place", 0555, 0664, InPlace, 0664},
      {"read-only folder and file", 0555, 0444, Refused, 0444},
      {"read-only folder, no file", 0555, 0, Refused, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    // The old file is longer than a table: whichever way it is written, 94 bytes remain.
    Bytes old = defaultFile();
    old.insert(old.end(), 6, 0xEE);
    if (c.fileMode != 0) {
      write(file, old);
      ASSERT_EQ(chmod(file.c_str(), c.fileMode), 0);
    }
    ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
    const ino_t inodeBefore = inodeOf(file);

    EXPECT_EQ(save(changedTable()), outcome(c.way != Refused));
    if (c.way == Refused) {
      EXPECT_EQ(read(file), c.fileMode != 0 ? old : Bytes{});
    } else {
      EXPECT_EQ(read(file), imageOf(changedTable()));
      EXPECT_EQ(inodeOf(file) == inodeBefore, c.way == InPlace);
    }
    EXPECT_EQ(modeOf(file), c.modeAfter);
    EXPECT_FALSE(anyTemporary(listing()));
  }
}

// Root passes every permission check; the missing write bits alone keep the table frozen.
TEST_F(Save, ReadOnlyFileIsFrozenWhoeverSaves) {
  write(file, defaultFile());
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  EXPECT_FALSE(saveHighScoresTo(file.c_str(), changedTable())) << "as this process's user";
  EXPECT_EQ(read(file), defaultFile());
  EXPECT_EQ(modeOf(file), 0444u);
  EXPECT_FALSE(anyTemporary(listing()));
}

// A score file that is a link is saved where it leads, and stays a link.
TEST_F(Save, ThroughLinksWritesTheFileAtTheEndAndKeepsTheLinks) {
  struct Link {
    const char* at;  // relative to the scratch folder
    const char* to;  // as stored in the link
  };
  struct Case {
    const char* name;
    std::vector<Link> links;
    const char* existing;  // a file holding the default table, or nullptr
    mode_t existingMode;
    const char* savedAt;  // where the new table must end up, or nullptr when the save fails
  };
  const Case cases[] = {
      {"an absolute link",
       {{"HIGHSCORE.DAT", "@/elsewhere/real.dat"}},
       "elsewhere/real.dat",
       0644,
       "elsewhere/real.dat"},
      {"a chain of relative links, each read from its own folder",
       {{"HIGHSCORE.DAT", "links/first"}, {"links/first", "../elsewhere/real.dat"}},
       "elsewhere/real.dat",
       0644,
       "elsewhere/real.dat"},
      {"a dangling link: its target is made",
       {{"HIGHSCORE.DAT", "elsewhere/new.dat"}},
       nullptr,
       0,
       "elsewhere/new.dat"},
      {"a link to a read-only file",
       {{"HIGHSCORE.DAT", "elsewhere/real.dat"}},
       "elsewhere/real.dat",
       0444,
       nullptr},
      {"a loop of links",
       {{"HIGHSCORE.DAT", "links/a"}, {"links/a", "../HIGHSCORE.DAT"}},
       nullptr,
       0,
       nullptr},
      {"a dangling link into a missing folder",
       {{"HIGHSCORE.DAT", "nowhere/new.dat"}},
       nullptr,
       0,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    ASSERT_TRUE(fs::create_directory(folder + "/elsewhere"));
    ASSERT_TRUE(fs::create_directory(folder + "/links"));
    if (c.existing) {
      write(folder + "/" + c.existing, defaultFile());
      ASSERT_EQ(chmod((folder + "/" + c.existing).c_str(), c.existingMode), 0);
    }
    for (const Link& link : c.links) {
      std::string to = link.to;
      if (to.starts_with("@")) to = folder + to.substr(1);
      ASSERT_EQ(symlink(to.c_str(), (folder + "/" + link.at).c_str()), 0);
    }
    const std::vector<std::string> before = listing();

    EXPECT_EQ(save(changedTable()), outcome(c.savedAt != nullptr));
    for (const Link& link : c.links)
      EXPECT_TRUE(fs::is_symlink(folder + "/" + link.at)) << link.at << " is no longer a link";
    if (c.savedAt) {
      EXPECT_EQ(read(folder + "/" + c.savedAt), imageOf(changedTable()));
      // The player's own links; root would trust only its own.
      EXPECT_EQ(asPlayer([&] {
                  HighScoreTable throughLink{};
                  return std::string(loadHighScoresFrom(file.c_str(), throughLink) &&
                                             sameTable(throughLink, changedTable())
                                         ? "read"
                                         : "not read");
                }),
                "read");
    } else if (c.existing) {
      EXPECT_EQ(read(folder + "/" + c.existing), defaultFile());
    }
    std::vector<std::string> after = listing();
    if (c.savedAt && !c.existing) std::erase(after, std::string(c.savedAt));
    EXPECT_EQ(after, before) << "only the saved file may change the folder";
  }
}

// Whatever stands at HIGHSCORE.DAT.tmp is some other save's: never written through, never
// removed; each save makes a temporary file of its own.
TEST_F(Save, AStaleOrPlantedTemporaryIsNeverWrittenThrough) {
  const Bytes precious = {'k', 'e', 'e', 'p'};
  // Paths are taken when planting: each case has a fresh scratch folder.
  auto temporary = [&] { return file + ".tmp"; };
  auto victim = [&] { return folder + "/precious.txt"; };
  struct Case {
    const char* name;
    std::function<void()> plant;
  };
  const Case cases[] = {
      {"a stale plain file", [&] { write(temporary(), Bytes(7, 0x55)); }},
      {"a link to another file the player owns",
       [&] { ASSERT_EQ(symlink(victim().c_str(), temporary().c_str()), 0); }},
      {"a dangling link",
       [&] { ASSERT_EQ(symlink((folder + "/made.txt").c_str(), temporary().c_str()), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    write(file, defaultFile());
    write(victim(), precious);
    c.plant();

    const auto plantedKind = fs::symlink_status(temporary()).type();
    const Bytes plantedBytes = read(temporary());

    EXPECT_EQ(save(changedTable()), "saved");
    EXPECT_EQ(read(file), imageOf(changedTable()));
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(read(victim()), precious);
    EXPECT_EQ(fs::symlink_status(temporary()).type(), plantedKind);
    EXPECT_EQ(read(temporary()), plantedBytes);
    EXPECT_EQ(listing(),
              (std::vector<std::string>{"HIGHSCORE.DAT", "HIGHSCORE.DAT.tmp", "precious.txt"}));
  }
}

namespace {
// A flush that fails with a chosen error for files or for folders.
int fileSyncError = 0;
int folderSyncError = 0;
int failingSync(int fd) {
  struct stat info {};
  fstat(fd, &info);
  int error = S_ISDIR(info.st_mode) ? folderSyncError : fileSyncError;
  if (error == 0) return 0;
  errno = error;
  return -1;
}
}  // namespace

TEST_F(Save, AFileSystemWithoutFlushStillSaves) {
  struct Case {
    const char* name;
    mode_t folderMode;  // 0555 takes the in-place way
    int fileError;
    int folderError;
    bool saved;
    bool newTableInPlace;
  };
  const Case cases[] = {
      {"file flush EINVAL", 0755, EINVAL, 0, true, true},
      {"file flush ENOTSUP", 0755, ENOTSUP, 0, true, true},
      {"folder flush EINVAL", 0755, 0, EINVAL, true, true},
      {"folder flush ENOTSUP", 0755, 0, ENOTSUP, true, true},
      {"in place, flush EINVAL", 0555, EINVAL, 0, true, true},
      {"file flush EIO: the old file stays", 0755, EIO, 0, false, false},
      {"folder flush EIO: renamed but not known to be on the disk", 0755, 0, EIO, false, true},
      {"in place, flush EIO", 0555, EIO, 0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    write(file, defaultFile());
    ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
    std::string result = asPlayer([&] {
      fileSyncError = c.fileError;
      folderSyncError = c.folderError;
      sharedFileSync = failingSync;
      return std::string(outcome(saveHighScoresTo(file.c_str(), changedTable())));
    });
    EXPECT_EQ(result, outcome(c.saved));
    EXPECT_EQ(read(file), c.newTableInPlace ? imageOf(changedTable()) : defaultFile());
    EXPECT_FALSE(anyTemporary(listing()));
  }
}

// A disk that fills up halfway through the save: the write is refused past 50 bytes.
TEST_F(Save, ThatRunsOutOfSpaceKeepsTheOldFile) {
  write(file, defaultFile());
  std::string result = asPlayer([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit small{50, 50};
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) return std::string("no limit");
    return std::string(outcome(saveHighScoresTo(file.c_str(), changedTable())));
  });
  EXPECT_EQ(result, "failed");
  EXPECT_EQ(read(file), defaultFile());
  EXPECT_FALSE(anyTemporary(listing()));
}

TEST_F(Save, OntoAFolderOfThatNameFailsAndCleansUp) {
  ASSERT_TRUE(fs::create_directory(file));
  EXPECT_EQ(save(defaults()), "failed");
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_EQ(listing(), std::vector<std::string>{"HIGHSCORE.DAT"});
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

  const int16_t letters[kLetters] = {1, 2, 3};
  recordHighScore(Score, 0, 50000, letters);
  highScoreTable = sentinelTable();
  EXPECT_TRUE(loadHighScores());
  EXPECT_EQ(highScoreTable.entries[Score][0].score, 50000u);
  EXPECT_EQ(highScoreTable.entries[Score][0].letters[2], 3);

  highScoreTable = saved;
  fs::current_path(previous);
}
