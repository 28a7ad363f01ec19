// Where the high score file lives (beside the program or in the player's data folder), and
// the game's own load, reset and save on it, always as an ordinary user.
#include <gtest/gtest.h>
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

namespace {
namespace fs = std::filesystem;

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
