// Where the high score file lives (beside the program or in the player's data folder), and
// the game's own load, reset and save on it, always as an ordinary user.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ScoreFiles.h"
#include "game/GameState.h"
#include "scores/HighScoreFile.h"
#include "scores/HighScoreLocation.h"
#include "scores/KeptScores.h"

namespace {
namespace fs = std::filesystem;

// What the password database says is the player's home, in the scratch folder: a test never
// reaches the real one.
std::string passwordHome;
void usePasswordHome(const std::string& home) {
  passwordHome = home;
  passwordDatabaseHome = [] { return passwordHome; };
}

constexpr const char* kOwnFile = "home/.local/share/zeph/HIGHSCORE.DAT";
constexpr const char* kBeside = "game/HIGHSCORE.DAT";

enum class Content { None, Valid, Damaged };

// The table a default file beside the program holds (Score rank 0 at 700), and one from an
// earlier run in the player's own file (800): the start shows which one was read.
Bytes tableWithScore(uint32_t score) {
  HighScoreTable table = defaults();
  table.entries[Score][0].score = score;
  return imageOf(table);
}

Bytes damaged() {
  Bytes bytes = defaultFile();
  bytes[42] ^= 1;
  return bytes;
}

// "Score rank 0 / Collect rank 0" of a table, enough to tell where it came from.
std::string marker(const HighScoreTable& table) {
  return std::to_string(table.entries[Score][0].score) + "/" +
         std::to_string(table.entries[Collect][0].score);
}

std::string fileMarker(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return "none";
  HighScoreTable table{};
  return loadHighScoresFrom(path.c_str(), table) ? marker(table) : "bad";
}

void setOrUnset(const char* name, const std::string* value) {
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
}

// The scratch folder as a machine: game/ (the program's folder), home/, rohome/ (read-only),
// xdg/, and xdgfile (a plain file). "@" in a path stands for the scratch folder.
class Location : public ScratchFolder {
 protected:
  ~Location() override { passwordDatabaseHome = realLookup; }
  const HomeLookup realLookup = passwordDatabaseHome;
  void SetUp() override {
    ScratchFolder::SetUp();
    usePasswordHome({});
  }

  void lay(mode_t gameMode, Content beside, mode_t besideMode) {
    for (const char* name : {"game", "home", "rohome", "xdg"})
      ASSERT_TRUE(fs::create_directory(at(name)));
    write(at("xdgfile"), Bytes{'n', 'o', 't', 'e'});
    place(kBeside, beside, 700);
    if (beside != Content::None) {
      ASSERT_EQ(chmod(at(kBeside).c_str(), besideMode), 0);
    }
    ASSERT_EQ(chmod(at("rohome").c_str(), 0555), 0);
    ASSERT_EQ(chmod(at("game").c_str(), gameMode), 0);
  }

  void place(const std::string& path, Content content, uint32_t score) {
    if (content == Content::None) return;
    fs::create_directories(fs::path(at(path)).parent_path());
    write(at(path), content == Content::Valid ? tableWithScore(score) : damaged());
  }

  std::string at(const std::string& relative) const { return folder + "/" + relative; }

  // nullptr stays nullptr (unset); otherwise "@" becomes the scratch folder.
  std::optional<std::string> expand(const char* value) const {
    if (!value) return std::nullopt;
    std::string text = value;
    if (text.starts_with("@")) text = folder + text.substr(1);
    return text;
  }

  std::string shorten(const std::string& text) const {
    std::string shortened;
    std::size_t from = 0;
    for (std::size_t found; (found = text.find(folder, from)) != std::string::npos;) {
      shortened.append(text, from, found - from).append("@");
      from = found + folder.size();
    }
    return shortened.append(text, from);
  }

  // What the game does with its scores between start and quit: the load, the box and reset
  // on a failed load, a new score, and the save at quit.
  std::string startAndQuit(const char* home, const char* xdgDataHome, const std::string& watched) {
    const auto homeValue = expand(home);
    const auto xdgValue = expand(xdgDataHome);
    const std::string watchedPath = watched.empty() ? "" : at(watched);
    const std::string game = at("game");
    return asPlayer([&] {
      setOrUnset("HOME", homeValue ? &*homeValue : nullptr);
      setOrUnset("XDG_DATA_HOME", xdgValue ? &*xdgValue : nullptr);
      if (chdir(game.c_str()) != 0) return std::string("cannot enter the game folder");
      highScoreTable = HighScoreTable{};
      const bool box = !loadHighScores();
      if (box) resetHighScores();
      std::string report = std::string("box=") + (box ? "1" : "0") +
                           " start=" + marker(highScoreTable) +
                           " atStart=" + fileMarker(watchedPath);
      const int16_t letters[kLetters] = {4, 3, 2};
      recordHighScore(Collect, 0, 4321, letters);
      saveHighScores();
      return report;
    });
  }

  std::map<std::string, Bytes> plainFiles() const {
    std::map<std::string, Bytes> files;
    for (const std::string& path : listing())
      if (fs::is_regular_file(fs::symlink_status(at(path)))) files[path] = read(at(path));
    return files;
  }
};
}  // namespace

TEST_F(Location, BesideTheProgramWhenThePlayerCanWriteThereElseTheDataFolder) {
  const std::string beside = "@/game/HIGHSCORE.DAT";
  const std::string inHome = "@/home/.local/share/zeph/HIGHSCORE.DAT";
  const std::string besideOnly = beside + "|" + beside + "||";
  const std::string homeBased = beside + "|" + inHome + "|" + beside + "|@/home";
  struct Case {
    const char* name;
    mode_t gameMode;
    mode_t besideMode;  // 0: no file beside the program
    const char* ownFile;
    const char* home;
    const char* xdgDataHome;
    std::string expected;  // load|save|fallback|ownBelow
  };
  const Case cases[] = {
      {"writable game folder", 0755, 0, nullptr, "@/home", nullptr, besideOnly},
      {"writable game folder, frozen file", 0755, 0444, nullptr, "@/home", nullptr, besideOnly},
      {"read-only game folder, writable file", 0555, 0644, nullptr, "@/home", nullptr, besideOnly},
      {"read-only game folder, read-only default", 0555, 0444, nullptr, "@/home", nullptr,
       homeBased},
      {"read-only game folder, nothing beside", 0555, 0, nullptr, "@/home", nullptr, homeBased},
      {"the player's own file exists", 0555, 0444, kOwnFile, "@/home", nullptr,
       inHome + "|" + inHome + "|" + beside + "|@/home"},
      {"trailing slashes on HOME", 0555, 0444, nullptr, "@/home//", nullptr, homeBased},
      {"XDG_DATA_HOME outside HOME", 0555, 0444, nullptr, "@/home", "@/xdg",
       beside + "|@/xdg/zeph/HIGHSCORE.DAT|" + beside + "|@"},
      {"the own file in XDG_DATA_HOME exists", 0555, 0444, "xdg/zeph/HIGHSCORE.DAT", "@/home",
       "@/xdg", "@/xdg/zeph/HIGHSCORE.DAT|@/xdg/zeph/HIGHSCORE.DAT|" + beside + "|@"},
      {"XDG_DATA_HOME inside HOME: folders made below HOME", 0555, 0444, nullptr, "@/home",
       "@/home/data", beside + "|@/home/data/zeph/HIGHSCORE.DAT|" + beside + "|@/home"},
      {"relative XDG_DATA_HOME counts as unset", 0555, 0444, nullptr, "@/home", "data", homeBased},
      {"empty XDG_DATA_HOME counts as unset", 0555, 0444, nullptr, "@/home", "", homeBased},
      {"XDG_DATA_HOME a file", 0555, 0444, nullptr, "@/home", "@/xdgfile",
       beside + "||" + beside + "|"},
      {"HOME unset: nowhere to save", 0555, 0444, nullptr, nullptr, nullptr,
       beside + "||" + beside + "|"},
      {"relative HOME counts as unset", 0555, 0444, nullptr, "home", nullptr,
       beside + "||" + beside + "|"},
      {"HOME unset, XDG_DATA_HOME set", 0555, 0444, nullptr, nullptr, "@/xdg",
       beside + "|@/xdg/zeph/HIGHSCORE.DAT|" + beside + "|@"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    lay(c.gameMode, c.besideMode ? Content::Valid : Content::None, c.besideMode);
    if (c.ownFile) place(c.ownFile, Content::Valid, 800);
    const auto home = expand(c.home);
    const auto xdg = expand(c.xdgDataHome);
    const std::string game = at("game");
    std::string found = asPlayer([&] {
      HighScoreLocation where = locateHighScores(game, home ? home->c_str() : nullptr,
                                                 xdg ? xdg->c_str() : nullptr, false);
      return where.load + "|" + where.save + "|" + where.fallback + "|" + where.ownBelow;
    });
    EXPECT_EQ(shorten(found), c.expected);
  }
}

// A system install's data folder is shared ground: a player who may write there (root, in the
// package) still only reads the default table from it and saves in their own data folder.
TEST_F(Location, ASharedDataFolderIsOnlyReadFrom) {
  const std::string beside = "@/game/HIGHSCORE.DAT";
  const std::string inHome = "@/home/.local/share/zeph/HIGHSCORE.DAT";
  struct Case {
    const char* name;
    const char* ownFile;
    const char* home;
    std::string expected;  // load|save|fallback|ownBelow
  } cases[] = {
      {"first start", nullptr, "@/home", beside + "|" + inHome + "|" + beside + "|@/home"},
      {"the player's own file exists", kOwnFile, "@/home",
       inHome + "|" + inHome + "|" + beside + "|@/home"},
      {"HOME unset: nowhere to save", nullptr, nullptr, beside + "||" + beside + "|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    lay(0755, Content::Valid, 0644);  // folder and file writable by the player
    if (c.ownFile) place(c.ownFile, Content::Valid, 800);
    const auto home = expand(c.home);
    const std::string game = at("game");
    std::string found = asPlayer([&] {
      HighScoreLocation where =
          locateHighScores(game, home ? home->c_str() : nullptr, nullptr, true);
      return where.load + "|" + where.save + "|" + where.fallback + "|" + where.ownBelow;
    });
    EXPECT_EQ(shorten(found), c.expected);
  }
}

TEST_F(Location, TheGameLoadsResetsAndSavesWhereThePlayerCanWrite) {
  const std::vector<std::string> ownFolders = {"home/.local", "home/.local/share",
                                               "home/.local/share/zeph", kOwnFile};
  struct Case {
    const char* name;
    mode_t gameMode;
    Content beside;
    mode_t besideMode;
    Content own;  // at kOwnFile, from an earlier run (800)
    const char* home;
    const char* xdgDataHome;
    std::string report;     // box, the table at start, the watched file after the start
    std::string watched;    // the file that must hold the new score after the quit, or ""
    std::string afterQuit;  // its marker then
    std::vector<std::string> created;  // paths that appear, folders first
  };
  const Case cases[] = {
      {"writable game folder, first start",
       0755,
       Content::None,
       0,
       Content::None,
       "@/home",
       nullptr,
       "box=1 start=1/1 atStart=1/1",
       kBeside,
       "1/4321",
       {kBeside}},
      {"writable game folder, damaged file",
       0755,
       Content::Damaged,
       0644,
       Content::None,
       "@/home",
       nullptr,
       "box=1 start=1/1 atStart=1/1",
       kBeside,
       "1/4321",
       {}},
      {"installed game, first start: from the default, saved at quit", 0555, Content::Valid, 0444,
       Content::None, "@/home", nullptr, "box=0 start=700/1 atStart=none", kOwnFile, "700/4321",
       ownFolders},
      {"installed game without a default", 0555, Content::None, 0, Content::None, "@/home", nullptr,
       "box=1 start=1/1 atStart=1/1", kOwnFile, "1/4321", ownFolders},
      {"installed game, damaged default", 0555, Content::Damaged, 0444, Content::None, "@/home",
       nullptr, "box=1 start=1/1 atStart=1/1", kOwnFile, "1/4321", ownFolders},
      {"the own file from an earlier run",
       0555,
       Content::Valid,
       0444,
       Content::Valid,
       "@/home",
       nullptr,
       "box=0 start=800/1 atStart=800/1",
       kOwnFile,
       "800/4321",
       {}},
      {"damaged own file: the box, then the default",
       0555,
       Content::Valid,
       0444,
       Content::Damaged,
       "@/home",
       nullptr,
       "box=1 start=700/1 atStart=700/1",
       kOwnFile,
       "700/4321",
       {}},
      {"damaged own file and no default",
       0555,
       Content::None,
       0,
       Content::Damaged,
       "@/home",
       nullptr,
       "box=1 start=1/1 atStart=1/1",
       kOwnFile,
       "1/4321",
       {}},
      {"writable file in a read-only game folder",
       0555,
       Content::Valid,
       0644,
       Content::None,
       "@/home",
       nullptr,
       "box=0 start=700/1 atStart=700/1",
       kBeside,
       "700/4321",
       {}},
      {"XDG_DATA_HOME inside HOME, not there yet",
       0555,
       Content::Valid,
       0444,
       Content::None,
       "@/home",
       "@/home/data",
       "box=0 start=700/1 atStart=none",
       "home/data/zeph/HIGHSCORE.DAT",
       "700/4321",
       {"home/data", "home/data/zeph", "home/data/zeph/HIGHSCORE.DAT"}},
      {"HOME unset",
       0555,
       Content::Valid,
       0444,
       Content::None,
       nullptr,
       nullptr,
       "box=0 start=700/1 atStart=none",
       "",
       "",
       {}},
      {"HOME unset and no default",
       0555,
       Content::None,
       0,
       Content::None,
       nullptr,
       nullptr,
       "box=1 start=1/1 atStart=none",
       "",
       "",
       {}},
      {"HOME missing: not made",
       0555,
       Content::Valid,
       0444,
       Content::None,
       "@/nohome",
       nullptr,
       "box=0 start=700/1 atStart=none",
       "",
       "",
       {}},
      {"HOME not writable",
       0555,
       Content::Valid,
       0444,
       Content::None,
       "@/rohome",
       nullptr,
       "box=0 start=700/1 atStart=none",
       "",
       "",
       {}},
      {"XDG_DATA_HOME a file",
       0555,
       Content::Valid,
       0444,
       Content::None,
       "@/home",
       "@/xdgfile",
       "box=0 start=700/1 atStart=none",
       "",
       "",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    lay(c.gameMode, c.beside, c.besideMode);
    place(kOwnFile, c.own, 800);
    const std::vector<std::string> before = listing();
    const std::map<std::string, Bytes> filesBefore = plainFiles();

    EXPECT_EQ(startAndQuit(c.home, c.xdgDataHome, c.watched), c.report);

    if (!c.watched.empty()) {
      EXPECT_EQ(fileMarker(at(c.watched)), c.afterQuit);
    }
    std::vector<std::string> expected = before;
    expected.insert(expected.end(), c.created.begin(), c.created.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listing(), expected) << "exactly these paths appear, no temporary is left";
    for (const std::string& path : c.created) {
      if (fs::is_directory(at(path))) {
        EXPECT_EQ(fs::status(at(path)).permissions(), fs::perms::owner_all) << path;
      }
    }
    for (const auto& [path, bytes] : filesBefore) {
      if (path != c.watched) {
        EXPECT_EQ(read(at(path)), bytes) << path << " was changed";
      }
    }
  }
}

// The installed game as the player meets it: no box at the first start, nor at the next one,
// which reads what the first one saved.
TEST_F(Location, TheNextStartReadsThePlayersOwnFile) {
  lay(0555, Content::Valid, 0444);
  EXPECT_EQ(startAndQuit("@/home", nullptr, kOwnFile), "box=0 start=700/1 atStart=none");
  EXPECT_EQ(startAndQuit("@/home", nullptr, kOwnFile), "box=0 start=700/4321 atStart=700/4321");
  EXPECT_EQ(fileMarker(at(kBeside)), "700/1");
}

namespace {
class Where : public SharedScores {
 protected:
  ~Where() override { passwordDatabaseHome = realLookup; }
  void SetUp() override {
    SharedScores::SetUp();
    usePasswordHome({});
  }

  const HomeLookup realLookup = passwordDatabaseHome;

  // "load|save|ownBelow", or "nowhere: " and why, with the scratch folder as "@".
  std::string located(const TestUser& user, const char* home, const char* xdg, bool shared) {
    const std::string scratch = folder;
    auto expand = [&](const char* value) -> std::optional<std::string> {
      if (!value) return std::nullopt;
      return std::string(value).starts_with("@") ? scratch + (value + 1) : value;
    };
    const auto homeValue = expand(home);
    const auto xdgValue = expand(xdg);
    std::string found = as(user, [&] {
      HighScoreLocation where =
          locateHighScores(scratch + "/game", homeValue ? homeValue->c_str() : nullptr,
                           xdgValue ? xdgValue->c_str() : nullptr, shared);
      if (where.save.empty()) return "nowhere: " + where.refused;
      return where.load + "|" + where.save + "|" + where.ownBelow;
    });
    // Built by appending: GCC 12 misreads a replace in place as an overlapping copy.
    std::string shown;
    std::size_t from = 0;
    for (std::size_t at; (at = found.find(scratch, from)) != std::string::npos;
         from = at + scratch.size())
      shown.append(found, from, at - from).append("@");
    return shown.append(found, from, std::string::npos);
  }
};

const TestUser kRoot{0, 0, {}};
}  // namespace

// Root never makes anything in a tree another user owns, and a start folder that cannot be
// used falls back to the home the password database gives.
TEST_F(Where, RootStaysOutOfOthersTreesAndUnusableHomesFallBack) {
  const std::string beside = "@/game/HIGHSCORE.DAT";
  const std::string inRootHome = beside + "|@/roothome/.local/share/zeph/HIGHSCORE.DAT|@/roothome";
  const std::string inHome = beside + "|@/home/.local/share/zeph/HIGHSCORE.DAT|@/home";
  struct Case {
    const char* name;
    TestUser user;
    std::function<void(Where&)> lay;
    const char* home;
    const char* xdg;
    const char* passwordHome;
    bool sharedDataFolder;
    std::string expected;
  };
  auto rootsScratch = [](Where& t) {
    t.giveTo("", 0, 0);
    t.giveTo("roothome", 0, 0);
    t.giveTo("game", 0, 0);
  };
  const Case cases[] = {
      {"root, a root-owned .local/share in the player's home", kRoot,
       [&](Where& t) {
         rootsScratch(t);
         t.folderAt("home/.local/share", 0755);
         t.giveTo("home/.local", 0, 0);
         t.giveTo("home/.local/share", 0, 0);
       },
       "@/home", nullptr, "@/roothome", true, inRootHome},
      {"root with its own home", kRoot, rootsScratch, "@/roothome", nullptr, "@/roothome", true,
       inRootHome},
      {"root in a player's per-user install", kRoot,
       [&](Where& t) {
         rootsScratch(t);
         t.giveTo("game", kOrdinaryId, kOrdinaryId);
       },
       "@/roothome", nullptr, "@/roothome", false, inRootHome},
      {"root in its own install", kRoot, rootsScratch, "@/roothome", nullptr, "@/roothome", false,
       beside + "|" + beside + "|"},
      {"HOME is another user's link", kPlayer,
       [](Where& t) {
         t.linkAt("homelink", t.at("home"));
         t.giveTo("homelink", kOther.uid, kOther.gid);
       },
       "@/homelink", nullptr, "@/home", true, inHome},
      {"HOME missing", kPlayer, [](Where&) {}, "@/nohome", nullptr, "@/home", true, inHome},
      {"HOME unset", kPlayer, [](Where&) {}, nullptr, nullptr, "@/home", true, inHome},
      {"HOME unset, no password home", kPlayer, [](Where&) {}, nullptr, nullptr, "", true,
       "nowhere: no home folder (HOME is not set)"},
      {"XDG_DATA_HOME of the player's own in another user's folder", kPlayer,
       [](Where& t) {
         t.folderAt("theirs/data", 0700);
         ASSERT_EQ(::chmod(t.at("theirs").c_str(), 0777), 0);
         t.giveTo("theirs", kOther.uid, kOther.gid);
       },
       "@/home", "@/theirs/data", "@/home", true, inHome},
      {"a member in the group's install of another member", kPlayerInGroup,
       [](Where& t) {
         t.giveTo("game", kOther.uid, kPlayersGroup);
         ASSERT_EQ(::chmod(t.at("game").c_str(), 02775), 0);
       },
       "@/home", nullptr, "@/home", false, beside + "|" + beside + "|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("game", 0755);
    fileAt("game/HIGHSCORE.DAT", defaultFile(), 0644);
    folderAt("home", 0755);
    folderAt("roothome", 0700);
    c.lay(*this);
    usePasswordHome(std::string(c.passwordHome).starts_with("@") ? folder + (c.passwordHome + 1)
                                                                 : c.passwordHome);
    EXPECT_EQ(located(c.user, c.home, c.xdg, c.sharedDataFolder), c.expected);
    if (c.user.uid == 0) {
      for (const std::string& path : listing())
        EXPECT_FALSE(path.starts_with("home/.local/share/"))
            << path << " made in the player's home";
    }
  }
}

// The start reads the table through the very folder its walk reached, and the saves write
// there: a folder swapped for another member's after the walk is never read or written.
TEST_F(Where, AFolderSwappedAfterTheWalkIsNeverLoadedNorSaved) {
  // The player's own table, and another member's planted folder to swap in for its folder.
  auto lay = [this] {
    folderAt("game", 0555);
    fileAt("game/HIGHSCORE.DAT", defaultFile(), 0444);
    giveTo("game", 0, 0);
    folderAt("home/.local/share/zeph", 0700);
    fileAt("home/.local/share/zeph/HIGHSCORE.DAT", imageOf(withScore(Score, 800)), 0644);
    folderAt("planted", 0777);
    fileAt("planted/HIGHSCORE.DAT", imageOf(withScore(Score, 99999)), 0666);
    giveTo("planted", kOther.uid, kOther.gid);
    giveTo("planted/HIGHSCORE.DAT", kOther.uid, kOther.gid);
  };
  lay();
  const std::string scratch = folder;
  const std::string zeph = scratch + "/home/.local/share/zeph";
  auto swap = [&] {
    return ::rename(zeph.c_str(), (zeph + ".old").c_str()) == 0 &&
           ::rename((scratch + "/planted").c_str(), zeph.c_str()) == 0;
  };

  const std::string located = as(kPlayer, [&] {
    HighScoreLocation where =
        locateHighScores(scratch + "/game", (scratch + "/home").c_str(), nullptr, true);
    if (!swap()) return std::string("no swap");
    HighScoreTable table = defaults();
    FileOutcome loaded = loadHighScoresAt(where, table);
    return described(loaded) + " " + scoresOf(table, Score);
  });
  EXPECT_EQ(located, "saved 800 1 1");

  TearDown();
  SetUp();
  // The same through the game's own start and save, the swap between them.
  lay();
  const std::string scratch2 = folder;
  const std::string zeph2 = scratch2 + "/home/.local/share/zeph";
  const std::string played = as(kPlayer, [&] {
    ::setenv("HOME", (scratch2 + "/home").c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    if (::chdir((scratch2 + "/game").c_str()) != 0) return std::string("no game folder");
    const bool loaded = loadHighScores();
    if (::rename(zeph2.c_str(), (zeph2 + ".old").c_str()) != 0 ||
        ::rename((scratch2 + "/planted").c_str(), zeph2.c_str()) != 0)
      return std::string("no swap");
    const int16_t letters[kLetters] = {1, 2, 3};
    recordHighScore(Score, 0, 5000, letters);
    return std::string(loaded ? "loaded " : "box ") + scoresOf(highScoreTable, Score);
  });
  EXPECT_EQ(played, "loaded 5000 800 1");
  EXPECT_EQ(scoreFileOf(zeph2 + ".old/HIGHSCORE.DAT"), "5000 800 1");
  EXPECT_EQ(scoreFileOf(zeph2 + "/HIGHSCORE.DAT"), "99999 1 1") << "the planted table was written";
}

// A save that cannot put the entry into the shared file keeps it in the player's own data
// folder and says where; the next start shows it and its first save that can takes it in.
TEST_F(Where, EntriesASaveCannotPlaceAreKeptUntilOneCan) {
  constexpr int F_SETLEASE_ = 1024;
  struct Case {
    const char* name;
    mode_t fileMode;  // the shared file, another member's
    bool leased;      // held by a lease of another program during the first run
  };
  const Case cases[] = {
      {"frozen by its owner", 0444, false},
      {"held by a lease", 0664, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    folderAt("game", 02775);
    giveTo("game", kOther.uid, kPlayersGroup);
    fileAt("game/HIGHSCORE.DAT", imageOf(withScore(Score, 700)), c.fileMode);
    giveTo("game/HIGHSCORE.DAT", kOther.uid, kPlayersGroup);
    folderAt("home", 0755);
    const std::string scratch = folder;
    const std::string shared = at("game/HIGHSCORE.DAT");
    const std::string kept = at("home/.local/share/zeph/kept-scores");
    auto run = [&](bool place) {
      return as(kPlayerInGroup, [&] {
        ::setenv("HOME", (scratch + "/home").c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
        if (::chdir((scratch + "/game").c_str()) != 0) return std::string("no game folder");
        return capturingStderr([&] {
          if (!loadHighScores()) resetHighScores();
          const std::string start = scoresOf(highScoreTable, Score);
          const int16_t letters[kLetters] = {1, 2, 3};
          if (place) recordHighScore(Score, 0, 5000, letters);
          saveHighScores();
          return start;
        });
      });
    };

    as(kRoot, [] { return std::string(); });  // hands the files over as laid out
    int holder = -1;
    void (*previous)(int) = SIG_DFL;
    if (c.leased) {
      previous = ::signal(SIGIO, SIG_IGN);
      holder = ::open(shared.c_str(), O_RDONLY);
      ASSERT_EQ(::fcntl(holder, F_SETLEASE_, F_RDLCK), 0);
    }
    const std::string first = run(true);
    if (holder >= 0) {
      ::close(holder);
      ::signal(SIGIO, previous);
    }
    const std::string line = "1 new entry is kept in " + kept + " until a save can take it\n";
    ASSERT_EQ(first.substr(0, first.find('|')), "700 1 1");
    const std::string said = first.substr(first.find('|') + 1);
    // One line for the save at placement, one for the quit.
    std::vector<std::string> lines;
    for (std::size_t from = 0, end; (end = said.find('\n', from)) != std::string::npos;
         from = end + 1)
      lines.push_back(said.substr(from, end + 1 - from));
    ASSERT_EQ(lines.size(), 2u) << said;
    for (const std::string& each : lines) {
      EXPECT_TRUE(each.starts_with("zeph: the high scores were not saved to " + shared + ": "))
          << each;
      EXPECT_TRUE(each.ends_with("; " + line)) << each;
    }
    EXPECT_EQ(scoreFileOf(shared), "700 1 1");
    std::vector<PlacedScore> entries;
    FileInFolder keptAt;
    ASSERT_TRUE(walkToFile(AT_FDCWD, kept, keptAt));
    ASSERT_TRUE(readKeptScores(keptAt, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].score, 5000u);

    ASSERT_EQ(::chmod(shared.c_str(), 0664), 0);  // its owner lets saves in again
    EXPECT_EQ(run(false), "5000 700 1|") << "the next start shows the kept entry";
    EXPECT_EQ(scoreFileOf(shared), "5000 700 1");
    EXPECT_FALSE(fs::exists(kept)) << "taken in, the kept file goes";
    EXPECT_EQ(run(false), "5000 700 1|") << "and the entry is not placed twice";
    EXPECT_EQ(scoreFileOf(shared), "5000 700 1");
  }
}
