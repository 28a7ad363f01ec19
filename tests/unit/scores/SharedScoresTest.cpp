// The score file as players really share it: links and folders of other users, two copies of
// the game saving into one file, a group's shared folder, a save killed halfway. Every case
// runs as ordinary users; laying out another user's files needs root, which CI has.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ScoreFiles.h"
#include "game/GameState.h"
#include "scores/HighScoreFile.h"
#include "scores/SharedFile.h"

namespace {
namespace fs = std::filesystem;

const Bytes kPrecious = {'e', 'c', 'h', 'o', ' ', 'h', 'i', '\n'};
}  // namespace

// Another player's link in a folder the players share is never followed: not to save, not to
// load. The player's own and root's links keep working.
TEST_F(SharedScores, OnlyThePlayersAndRootsLinksAreFollowed) {
  struct Case {
    const char* name;
    mode_t gameMode;  // 0555: the save would rewrite the file in place
    std::function<void(SharedScores&)> lay;
    bool saved;
  };
  const Case cases[] = {
      {"another player's link to the player's file", 0777,
       [](SharedScores& t) {
         t.linkAt("game/HIGHSCORE.DAT", t.at("home/.profile"));
         t.giveTo("game/HIGHSCORE.DAT", kOther.uid, kOther.gid);
       },
       false},
      {"the player's link to another player's link", 0777,
       [](SharedScores& t) {
         t.linkAt("game/HIGHSCORE.DAT", "planted");
         t.linkAt("game/planted", t.at("home/.profile"));
         t.giveTo("game/planted", kOther.uid, kOther.gid);
       },
       false},
      {"another player's link where only the file could be rewritten", 0555,
       [](SharedScores& t) {
         t.linkAt("game/HIGHSCORE.DAT", t.at("home/.profile"));
         t.giveTo("game/HIGHSCORE.DAT", kOther.uid, kOther.gid);
       },
       false},
      {"root's link", 0777,
       [](SharedScores& t) {
         t.linkAt("game/HIGHSCORE.DAT", t.at("home/scores.dat"));
         t.giveTo("game/HIGHSCORE.DAT", 0, 0);
       },
       true},
      {"the player's own link", 0777,
       [](SharedScores& t) { t.linkAt("game/HIGHSCORE.DAT", t.at("home/scores.dat")); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("game", c.gameMode);
    folderAt("home", 0755);
    // A valid table where the link leads: reading it would be as wrong as writing it.
    fileAt("home/.profile", defaultFile(), 0644);
    fileAt("home/scores.dat", defaultFile(), 0644);
    c.lay(*this);
    ASSERT_EQ(::chmod(at("game").c_str(), c.gameMode), 0);
    const std::vector<std::string> before = listing();
    const std::string beside = at("game/HIGHSCORE.DAT");

    std::string result = as(kPlayer, [&] {
      HighScoreTable table{};
      std::string loaded = loadHighScoresFrom(beside.c_str(), table) ? "loaded" : "not loaded";
      return loaded + ", " + described(saveHighScoresTo(beside.c_str(), withScore(Score, 900)));
    });

    if (c.saved) {
      EXPECT_EQ(result, "loaded, saved");
      EXPECT_EQ(scoreFileOf(at("home/scores.dat")), "900 1 1");
    } else {
      EXPECT_EQ(result.substr(0, result.find(':')), "not loaded, failed");
      EXPECT_NE(result.find("is a link that belongs to another user"), std::string::npos) << result;
      EXPECT_EQ(read(at("home/.profile")), defaultFile());
    }
    EXPECT_TRUE(fs::is_symlink(beside));
    EXPECT_EQ(listing(), before) << "nothing made, nothing removed";
  }
}

// The game as a player starts and quits it, with HOME and XDG_DATA_HOME given ("@" is the
// scratch folder): the box, the table it starts from, a score placed, the quit. Returns the
// table at start and what stderr said.
std::string playOnce(const std::string& scratch, const char* home, const char* xdgDataHome) {
  auto expand = [&](const char* value) {
    std::string text = value;
    return text.starts_with("@") ? scratch + text.substr(1) : text;
  };
  if (home) ::setenv("HOME", expand(home).c_str(), 1);
  if (xdgDataHome)
    ::setenv("XDG_DATA_HOME", expand(xdgDataHome).c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
  if (::chdir((scratch + "/game").c_str()) != 0) return "cannot enter the game folder";
  return capturingStderr([] {
    const bool box = !loadHighScores();
    if (box) resetHighScores();
    std::string start = std::string(box ? "box " : "") + scoresOf(highScoreTable, Score);
    const int16_t letters[kLetters] = {1, 2, 3};
    recordHighScore(Score, 0, 5000, letters);
    saveHighScores();
    return start;
  });
}

// The player's data folder and the game's folder in it are used only when they are the
// player's own, reached through the player's own links; anything else is refused and said so.
TEST_F(SharedScores, TheDataFolderMustBeThePlayersOwn) {
  struct Case {
    const char* name;
    std::function<void(SharedScores&)> lay;
    const char* xdgDataHome;
    const char* savedAt;  // where the new score lands, or nullptr when refused
    const char* named;    // the folder the refusal names
  };
  const Case cases[] = {
      {"the game's folder belongs to another user",
       [](SharedScores& t) {
         t.folderAt("home/.local/share/zeph", 0777);
         t.giveTo("home/.local/share/zeph", kOther.uid, kOther.gid);
       },
       nullptr, nullptr, "home/.local/share/zeph belongs to another user"},
      {"a folder on the way belongs to another user",
       [](SharedScores& t) {
         t.folderAt("home/.local", 0777);
         t.giveTo("home/.local", kOther.uid, kOther.gid);
       },
       nullptr, nullptr, "home/.local belongs to another user"},
      {"XDG_DATA_HOME belongs to another user",
       [](SharedScores& t) {
         t.folderAt("xdg", 0777);
         t.giveTo("xdg", kOther.uid, kOther.gid);
       },
       "@/xdg", nullptr, "xdg belongs to another user"},
      {"the game's folder is another user's link",
       [](SharedScores& t) {
         t.folderAt("home/.local/share", 0755);
         t.folderAt("mine", 0755);
         t.linkAt("home/.local/share/zeph", t.at("mine"));
         t.giveTo("home/.local/share/zeph", kOther.uid, kOther.gid);
       },
       nullptr, nullptr, "home/.local/share/zeph is a link that belongs to another user"},
      {"the player's link to another user's folder",
       [](SharedScores& t) {
         t.folderAt("home/.local/share", 0755);
         t.folderAt("theirs", 0777);
         t.linkAt("home/.local/share/zeph", t.at("theirs"));
         t.giveTo("theirs", kOther.uid, kOther.gid);
       },
       nullptr, nullptr, "home/.local/share/zeph belongs to another user"},
      {"the player's link to a folder of their own",
       [](SharedScores& t) {
         t.folderAt("home/.local", 0755);
         t.folderAt("data", 0700);
         t.linkAt("home/.local/share", t.at("data"));
       },
       nullptr, "data/zeph/HIGHSCORE.DAT", nullptr},
      {"XDG_DATA_HOME of the player's own", [](SharedScores& t) { t.folderAt("xdg", 0700); },
       "@/xdg", "xdg/zeph/HIGHSCORE.DAT", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("game", 0755);  // root's: the player saves elsewhere
    fileAt("game/HIGHSCORE.DAT", imageOf(withScore(Score, 700)), 0644);
    giveTo("game", 0, 0);
    giveTo("game/HIGHSCORE.DAT", 0, 0);
    folderAt("home", 0755);
    c.lay(*this);

    const std::string scratch = folder;
    const std::string played =
        as(kPlayer, [&] { return playOnce(scratch, "@/home", c.xdgDataHome); });

    const std::string start = played.substr(0, played.find('|'));
    const std::string said = played.substr(played.find('|') + 1);
    EXPECT_EQ(start, "700 1 1") << "the default beside the program, no box";
    if (c.savedAt) {
      EXPECT_EQ(scoreFileOf(at(c.savedAt)), "5000 700 1");
      EXPECT_EQ(said, "");
    } else {
      // One line for the save at placement, one for the quit.
      const std::string line =
          std::string("zeph: the high scores were not saved: ") + folder + "/" + c.named + "\n";
      EXPECT_EQ(said, line + line);
      for (const std::string& path : listing())
        EXPECT_FALSE(path.ends_with("HIGHSCORE.DAT") && path != "game/HIGHSCORE.DAT") << path;
    }
    EXPECT_EQ(scoreFileOf(at("game/HIGHSCORE.DAT")), "700 1 1");
  }
}

// A save that fails says why on stderr, once per save; a file the player froze stays silent.
TEST_F(SharedScores, AFailedSaveSaysWhyOnStderr) {
  struct Case {
    const char* name;
    std::function<void(SharedScores&)> lay;
    std::string start;
    std::string reason;  // "" when nothing may be said
    int lines;
    // The start could not load the table, and the entry went to the player's own folder.
    bool keptAfterBox = false;
  };
  // The link as the game names it: beside the program, in its working folder.
  const std::string link = "HIGHSCORE.DAT is a link that belongs to another user";
  const Case cases[] = {
      {"a good file", [](SharedScores& t) { t.fileAt("game/HIGHSCORE.DAT", defaultFile(), 0644); },
       "1 1 1", "", 0},
      {"frozen by the player",
       [](SharedScores& t) { t.fileAt("game/HIGHSCORE.DAT", defaultFile(), 0444); }, "1 1 1", "",
       0},
      {"another player's file in the player's folder: replaced",
       [](SharedScores& t) {
         t.fileAt("game/HIGHSCORE.DAT", defaultFile(), 0644);
         t.giveTo("game/HIGHSCORE.DAT", kOther.uid, kOther.gid);
       },
       "1 1 1", "", 0},
      // The box at start, its reset's save, the save at placement and the one at quit.
      {"another player's link",
       [](SharedScores& t) {
         t.fileAt("home/.profile", defaultFile(), 0644);
         t.linkAt("game/HIGHSCORE.DAT", t.at("home/.profile"));
         t.giveTo("game/HIGHSCORE.DAT", kOther.uid, kOther.gid);
       },
       "box 1 1 1", link, 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("game", 0755);
    folderAt("home", 0755);
    c.lay(*this);
    const std::string scratch = folder;
    const std::string played = as(kPlayer, [&] { return playOnce(scratch, "@/home", nullptr); });

    std::string expected = c.start + "|";
    std::string reason = c.reason;
    if (reason.starts_with("@")) reason = folder + reason.substr(1);
    if (c.keptAfterBox)
      expected += "zeph: the high scores could not be loaded from " + folder +
                  "/game/HIGHSCORE.DAT: " + reason + "\n";
    for (int line = 0; line < c.lines; ++line) {
      expected +=
          "zeph: the high scores were not saved to " + folder + "/game/HIGHSCORE.DAT: " + reason;
      // The reset's save comes before any entry; those after it keep theirs in the home.
      if (c.keptAfterBox && line > 0)
        expected += "; 1 new entry is kept in " + folder +
                    "/home/.local/share/zeph/kept-scores until a save can take it";
      expected += "\n";
    }
    EXPECT_EQ(played, expected);
  }
}

// Two copies of the game on one file: each save merges its own new entries into what the
// other saved, by the table's ranking, so the last to quit no longer wins.
TEST_F(ScratchFolder, MergeKeepsWhatTheFileHoldsAndPlacesThisRunsEntries) {
  auto scores = [](uint32_t a, uint32_t b, uint32_t c) {
    HighScoreTable table = defaults();
    table.entries[Score][0].score = a;
    table.entries[Score][1].score = b;
    table.entries[Score][2].score = c;
    return table;
  };
  struct Case {
    const char* name;
    std::function<Bytes()> onDisk;
    HighScoreTable inMemory;
    std::vector<uint32_t> placed;  // Score entries this run placed, in order
    std::string expected;
  };
  const Case cases[] = {
      {"nothing placed: the other copy's entries stay",
       [&] { return imageOf(scores(900, 800, 1)); },
       scores(1, 1, 1),
       {},
       "900 800 1"},
      {"placed between the other copy's",
       [&] { return imageOf(scores(900, 100, 1)); },
       scores(500, 1, 1),
       {500},
       "900 500 100"},
      {"an equal score goes below the one saved first",
       [&] { return imageOf(scores(500, 1, 1)); },
       scores(500, 1, 1),
       {500},
       "500 500 1"},
      {"placed, then pushed out by the file's better ones",
       [&] { return imageOf(scores(900, 800, 700)); },
       scores(50, 1, 1),
       {50},
       "900 800 700"},
      {"two placed",
       [&] { return imageOf(scores(600, 1, 1)); },
       scores(700, 300, 1),
       {300, 700},
       "700 600 300"},
      {"a damaged file: the table in memory stands",
       [&] {
         Bytes b = imageOf(scores(900, 800, 1));
         b[3] ^= 1;
         return b;
       },
       scores(500, 1, 1),
       {500},
       "500 1 1"},
      {"no file", [] { return Bytes{}; }, scores(500, 1, 1), {500}, "500 1 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(file.c_str());
    const Bytes disk = c.onDisk();
    if (!disk.empty()) write(file, disk);
    // As the game places them: in the table in memory too, with their letters.
    std::vector<PlacedScore> placed;
    HighScoreTable table = c.inMemory;
    for (uint32_t score : c.placed) {
      placed.push_back({Score, score, {1, 2, 3}});
      for (HighScoreEntry& entry : table.entries[Score])
        if (entry.score == score) entry = {{1, 2, 3}, score};
    }

    EXPECT_TRUE(bool(mergeHighScoresInto(file.c_str(), table, placed)));
    EXPECT_EQ(scoreFileOf(file), c.expected);
    EXPECT_EQ(scoresOf(table, Score), c.expected) << "the table in memory is the file's";
    EXPECT_EQ(scoresOf(table, Collect), "1 1 1");
  }
}

namespace {
// One copy of the game in a child process as the player, taking one step each time the test
// says so: the test orders the steps of several copies as it likes.
class GameCopy {
 public:
  using Step = std::function<void()>;
  GameCopy(const std::string& gameFolder, std::vector<Step> steps) : stepsLeft(steps.size()) {
    if (::pipe(go) != 0 || ::pipe(done) != 0) return;
    std::fflush(nullptr);
    child = ::fork();
    if (child != 0) {
      ::close(go[0]);
      ::close(done[1]);
      return;
    }
    ::close(go[1]);
    ::close(done[0]);
    if (!becomeUser(kPlayer)) ::_exit(2);
    if (::chdir(gameFolder.c_str()) != 0) ::_exit(3);
    for (const Step& step : steps) {
      char token = 0;
      if (::read(go[0], &token, 1) != 1) ::_exit(4);
      step();
      if (::write(done[1], &token, 1) != 1) ::_exit(5);
    }
    ::_exit(0);
  }
  ~GameCopy() { finish(); }

  // Runs the next step and waits for it; false once every step ran (the child is gone then,
  // and a write to it would be the test's death by SIGPIPE).
  bool step() {
    if (child <= 0 || stepsLeft == 0) return false;
    --stepsLeft;
    char token = 's';
    return ::write(go[1], &token, 1) == 1 && ::read(done[0], &token, 1) == 1;
  }
  // The exit status once every step ran.
  int finish() {
    if (child <= 0) return -1;
    ::close(go[1]);
    ::close(done[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    child = -1;
    return status;
  }

 private:
  int go[2] = {-1, -1};
  int done[2] = {-1, -1};
  pid_t child = -1;
  std::size_t stepsLeft;
};

GameCopy::Step start() {
  return [] {
    if (!loadHighScores()) resetHighScores();
  };
}
GameCopy::Step place(uint32_t score) {
  return [score] {
    const int rank = highScoreRank(highScoreTable, Score, score);
    const int16_t letters[kLetters] = {2, 2, 2};
    if (rank >= 0) recordHighScore(Score, rank, score, letters);
  };
}
GameCopy::Step quit() {
  return [] { saveHighScores(); };
}
}  // namespace

TEST_F(ScratchFolder, TwoCopiesOfTheGameKeepEachOthersScores) {
  struct Case {
    const char* name;
    uint32_t firstPlaces;  // 0: places nothing
    uint32_t secondPlaces;
    std::string expected;
  };
  const Case cases[] = {
      {"both place a score", 500, 300, "500 300 100"},
      {"the first to quit placed the lower", 300, 500, "500 300 100"},
      {"the second placed nothing", 500, 0, "500 100 1"},
      {"the first placed nothing", 0, 500, "500 100 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    write(file, imageOf(withScore(Score, 100)));
    asPlayer([] { return std::string(); });
    std::vector<GameCopy::Step> first = {start()}, second = {start()};
    if (c.firstPlaces) first.push_back(place(c.firstPlaces));
    if (c.secondPlaces) second.push_back(place(c.secondPlaces));
    first.push_back(quit());
    second.push_back(quit());

    // Both start before either places or quits; the first finishes, then the second.
    GameCopy a(folder, first), b(folder, second);
    ASSERT_TRUE(a.step());
    ASSERT_TRUE(b.step());
    while (a.step()) {
    }
    while (b.step()) {
    }
    EXPECT_EQ(a.finish(), 0);
    EXPECT_EQ(b.finish(), 0);
    EXPECT_EQ(scoreFileOf(file), c.expected);
    EXPECT_EQ(listing(), std::vector<std::string>{"HIGHSCORE.DAT"}) << "no temporary left";
  }
}

// Copies saving at the same moment: the lock and temporaries of their own lose no entry. The
// copies skip the disk's flush: a save waits a second at most for the lock, and eight flushes
// one after another on a busy disk can take longer, which would leave the test to luck; held
// for a save's own work only, the lock is free again long before.
TEST_F(ScratchFolder, ManyCopiesSavingAtOnceLoseNothing) {
  constexpr int kCopies = 8;
  write(file, defaultFile());
  asPlayer([] { return std::string(); });
  const GameCopy::Step startWithoutFlushing = [] {
    sharedFileSync = [](int) { return 0; };
    start()();
  };
  std::vector<std::unique_ptr<GameCopy>> copies;
  for (int copy = 0; copy < kCopies; ++copy)
    copies.push_back(std::make_unique<GameCopy>(
        folder, std::vector<GameCopy::Step>{startWithoutFlushing, place(uint32_t(100 + copy))}));
  for (auto& copy : copies) ASSERT_TRUE(copy->step());
  // Every copy has started; now all place (and save) at once.
  std::vector<std::thread> placing;
  for (auto& copy : copies) placing.emplace_back([&copy] { copy->step(); });
  for (std::thread& thread : placing) thread.join();
  for (auto& copy : copies) EXPECT_EQ(copy->finish(), 0);

  EXPECT_EQ(scoreFileOf(file), "107 106 105");
  EXPECT_EQ(listing(), std::vector<std::string>{"HIGHSCORE.DAT"});
}

// The lock goes with a holder that dies. A holder that never lets go holds the save up for
// about a second: it then writes nothing and says so, its entry not sure, and once the holder
// is gone the same entry goes in.
TEST_F(ScratchFolder, ALockHolderThatDiesIsNoObstacleAndOneThatHangsIsNamed) {
  for (bool dies : {true, false}) {
    SCOPED_TRACE(dies ? "the holder was killed" : "the holder hangs");
    TearDown();
    SetUp();
    write(file, defaultFile());
    asPlayer([] { return std::string(); });
    int locked[2];
    ASSERT_EQ(::pipe(locked), 0);
    pid_t holder = ::fork();
    if (holder == 0) {
      const int lock = ::open(file.c_str(), O_RDONLY);
      char held = ::flock(lock, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
      if (::write(locked[1], &held, 1) != 1) ::_exit(1);
      if (dies) ::raise(SIGKILL);
      ::pause();
      ::_exit(0);
    }
    ASSERT_GT(holder, 0);
    char held = 0;
    ASSERT_EQ(::read(locked[0], &held, 1), 1);
    ::close(locked[0]);
    ::close(locked[1]);
    EXPECT_EQ(held, '1');
    if (dies) ::waitpid(holder, nullptr, 0);

    const std::vector<PlacedScore> placed = {{Score, 600, {2, 2, 2}}};
    auto merge = [&] {
      return asPlayer([&] {
        HighScoreTable table = withScore(Score, 600);
        return told(mergeHighScoresInto(file.c_str(), table, placed));
      });
    };
    if (dies) {
      EXPECT_EQ(merge(), "saved");
    } else {
      EXPECT_EQ(merge(), "failed: " + std::string(kLockHeldReason) + ", not sure");
      EXPECT_EQ(read(file), defaultFile());
      ::kill(holder, SIGKILL);
      ::waitpid(holder, nullptr, 0);
      EXPECT_EQ(merge(), "saved");
    }
    EXPECT_EQ(scoreFileOf(file), "600 1 1");
    EXPECT_EQ(listing(), std::vector<std::string>{"HIGHSCORE.DAT"});
  }
}

// Killed at any moment of a save, the file is the old table or the new one, whole.
TEST_F(ScratchFolder, ASaveKilledAtAnyMomentLeavesAWholeFile) {
  write(file, imageOf(withScore(Score, 111)));
  asPlayer([] { return std::string(); });
  std::srand(unsigned(std::time(nullptr)));
  for (int round = 0; round < 40; ++round) {
    pid_t saver = ::fork();
    if (saver == 0) {
      if (!becomeUser(kPlayer)) ::_exit(1);
      for (uint32_t score = 222;; score = score == 222 ? 111 : 222)
        saveHighScoresTo(file.c_str(), withScore(Score, score));
    }
    ASSERT_GT(saver, 0);  // never kill(-1)
    timespec pause{0, long(std::rand() % 3000) * 1000};
    ::nanosleep(&pause, nullptr);
    ::kill(saver, SIGKILL);
    ::waitpid(saver, nullptr, 0);
    const std::string found = scoreFileOf(file);
    EXPECT_TRUE(found == "111 1 1" || found == "222 1 1") << "round " << round << ": " << found;
    EXPECT_EQ(read(file).size(), 94u);
  }
}

// A folder the players of a group share keeps working for all of them: a save keeps the
// replaced file's group and read/write bits, or rewrites the file in place where the group
// cannot be kept; set-id and execute bits never travel.
TEST_F(SharedScores, AGroupsFolderKeepsWorkingForTheWholeGroup) {
  struct Case {
    const char* name;
    mode_t folderMode;
    gid_t fileGroup;
    mode_t fileMode;
    bool inPlace;
    mode_t modeAfter;
  };
  const Case cases[] = {
      {"a setgid group folder", 02775, kPlayersGroup, 0664, false, 0664},
      {"a group folder without setgid", 0775, kPlayersGroup, 0664, false, 0664},
      {"a file of a group the player is not in", 0777, kOtherGroup, 0666, true, 0666},
      {"set-id and execute bits", 0775, kPlayersGroup, 06775, false, 0664},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("shared", c.folderMode);
    fileAt("shared/HIGHSCORE.DAT", defaultFile(), c.fileMode);
    giveTo("shared", kOther.uid, kPlayersGroup);
    giveTo("shared/HIGHSCORE.DAT", kOther.uid, c.fileGroup);
    asPlayer([] { return std::string(); });
    ASSERT_EQ(::chmod(at("shared").c_str(), c.folderMode), 0);  // chown drops setgid
    ASSERT_EQ(::chmod(at("shared/HIGHSCORE.DAT").c_str(), c.fileMode), 0);
    const std::string shared = at("shared/HIGHSCORE.DAT");
    const ino_t inode = statOf(shared).st_ino;

    EXPECT_EQ(
        asUser(kPlayerInGroup,
               [&] { return described(saveHighScoresTo(shared.c_str(), withScore(Score, 500))); }),
        "saved");
    struct stat after = statOf(shared);
    EXPECT_EQ(after.st_gid, c.fileGroup);
    EXPECT_EQ(after.st_mode & 07777, c.modeAfter);
    EXPECT_EQ(after.st_ino == inode, c.inPlace);
    EXPECT_EQ(scoreFileOf(shared), "500 1 1");

    // The other player of the group saves after the first.
    EXPECT_EQ(
        asUser(kOtherInGroup,
               [&] { return described(saveHighScoresTo(shared.c_str(), withScore(Score, 800))); }),
        "saved");
    EXPECT_EQ(scoreFileOf(shared), "800 1 1");
    EXPECT_EQ(statOf(shared).st_gid, c.fileGroup);
    EXPECT_EQ(listing(), (std::vector<std::string>{"shared", "shared/HIGHSCORE.DAT"}));
  }
}

// A killed save's temporary file is cleared away by a later save once it is old: in a folder
// anyone may clear, whoever's save it was; in a sticky folder, where no one may remove another's
// names, a save looks at its own few names only (the player's uid and a slot), so names others
// plant there, however many, cost it nothing and stay. Only plain files, never a live save's or
// a link.
TEST_F(SharedScores, OldTemporariesOfKilledSavesAreCleared) {
  const std::string ownSlot = temporaryNameOf("HIGHSCORE.DAT", kOrdinaryId, 0);
  const std::string ownOtherSlot = temporaryNameOf("HIGHSCORE.DAT", kOrdinaryId, 1);
  const std::string ownLastSlot =
      temporaryNameOf("HIGHSCORE.DAT", kOrdinaryId, kTemporarySlots - 1);
  struct Planted {
    std::string name;
    bool old;
    uid_t owner;
    bool link;
    bool removed;            // from a folder of the player's own
    bool removedFromSticky;  // from root's sticky folder everyone may write
  };
  const Planted planted[] = {
      {ownSlot, true, kOrdinaryId, false, true, true},
      {ownLastSlot, true, kOrdinaryId, false, true, true},
      {ownOtherSlot, false, kOrdinaryId, false, false, false},
      {temporaryNameOf("HIGHSCORE.DAT", kOrdinaryId, 2), true, kOrdinaryId, true, false, false},
      {temporaryNameOf("HIGHSCORE.DAT", kOrdinaryId, 3), true, kOther.uid, false, true, false},
      {temporaryNameOf("HIGHSCORE.DAT", kOther.uid, 0), true, kOther.uid, false, true, false},
      // An older save's random name: a sticky folder is never listed for it.
      {"HIGHSCORE.DAT.aaaaaaaaaa.tmp", true, kOrdinaryId, false, true, false},
      {"HIGHSCORE.DAT.cccccccccc.tmp", true, kOther.uid, false, true, false},
      {"HIGHSCORE.DAT.tmp", true, kOrdinaryId, false, false, false},
      {"OTHER.DAT.eeeeeeeeee.tmp", true, kOrdinaryId, false, false, false},
  };
  // Names another member planted by the thousand, as old as any killed save's.
  constexpr int kPlantedByOthers = 2000;
  auto plantedByOthers = [](int n) {
    char tag[16];
    std::snprintf(tag, sizeof tag, "z%09d", n);
    return std::string("game/HIGHSCORE.DAT.") + tag + ".tmp";
  };
  for (bool sticky : {false, true}) {
    SCOPED_TRACE(sticky ? "root's sticky folder" : "the player's folder");
    TearDown();
    SetUp();
    folderAt("game", 0755);
    fileAt("game/HIGHSCORE.DAT", defaultFile(), 0666);
    if (sticky) giveTo("game", 0, 0);
    auto age = [&](const std::string& relative, bool old) {
      const timespec when[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - (old ? 3600 : 5), 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, at(relative).c_str(), when, AT_SYMLINK_NOFOLLOW), 0);
    };
    for (const Planted& p : planted) {
      const std::string relative = "game/" + p.name;
      if (p.link)
        linkAt(relative, at("game/HIGHSCORE.DAT"));
      else
        fileAt(relative, Bytes(3, 0x55), 0600);
      if (p.owner != kOrdinaryId) giveTo(relative, p.owner, p.owner);
      age(relative, p.old);
    }
    for (int n = 0; n < kPlantedByOthers; ++n) {
      fileAt(plantedByOthers(n), Bytes(3, 0x55), 0600);
      giveTo(plantedByOthers(n), kOther.uid, kOther.gid);
      age(plantedByOthers(n), true);
    }
    asPlayer([] { return std::string(); });
    ASSERT_EQ(::chmod(at("game").c_str(), sticky ? 01777 : 0755), 0);
    const std::string beside = at("game/HIGHSCORE.DAT");
    EXPECT_EQ(as(kPlayer, [&] { return described(saveHighScoresTo(beside.c_str(), defaults())); }),
              "saved");
    for (const Planted& p : planted)
      EXPECT_EQ(!fs::exists(fs::symlink_status(at("game/" + p.name))),
                sticky ? p.removedFromSticky : p.removed)
          << p.name;
    int left = 0;
    for (int n = 0; n < kPlantedByOthers; ++n) left += fs::exists(at(plantedByOthers(n)));
    EXPECT_EQ(left, sticky ? kPlantedByOthers : 0);
  }
}
