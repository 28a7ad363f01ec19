// Scratch folders for the high score file tests, and a machine of several users sharing one.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "files/FileOutcome.h"
#include "scores/HighScoreFile.h"
#include "support/AsUser.h"

using Bytes = std::vector<uint8_t>;

Bytes defaultFile();
HighScoreTable defaults();
Bytes imageOf(const HighScoreTable& table);
bool sameTable(const HighScoreTable& a, const HighScoreTable& b);

// A fresh folder under /tmp, handed to the ordinary user before each run as that user.
class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Gives everything in the folder to the ordinary user (when running as root), but the paths
  // given to others with giveTo, then runs body as that user.
  std::string asPlayer(const std::function<std::string()>& body);
  // The path (relative to the folder, "" for the folder itself) belongs to uid:gid from the
  // next asPlayer on. Needs root.
  void giveTo(const std::string& path, uid_t uid, gid_t gid);

  static void write(const std::string& path, const Bytes& bytes);
  static Bytes read(const std::string& path);
  // Every path under the folder, relative to it, links not followed.
  std::vector<std::string> listing() const;

  std::string folder;
  std::string file;  // folder/HIGHSCORE.DAT

 private:
  std::vector<std::pair<std::string, std::pair<uid_t, gid_t>>> others;
};

// The users of one machine the shared-file tests play: the player, another player, and a
// group both may be in.
inline constexpr gid_t kPlayersGroup = 65530;
inline constexpr gid_t kOtherGroup = 65531;
inline const TestUser kOther{65533, 65533, {}};
inline const TestUser kPlayerInGroup{kOrdinaryId, kOrdinaryId, {kPlayersGroup}};
inline const TestUser kOtherInGroup{65533, 65533, {kPlayersGroup}};

HighScoreTable withScore(int mode, uint32_t score);
std::string scoresOf(const HighScoreTable& table, int mode);
// "bad" for a file that does not load, else the Score table's three scores.
std::string scoreFileOf(const std::string& path);
struct stat statOf(const std::string& path);
// What the body wrote on stderr, with what it returned in front: "result|said".
std::string capturingStderr(const std::function<std::string()>& body);
// "saved", "silent", or "failed: " and the reason.
std::string described(const FileOutcome& outcome);
// The same for a merge, with ", not sure" when its entries may not stay in the file.
std::string told(const MergeOutcome& outcome);

// Lays out a machine of several users; the cases' own lay-out steps call these.
class SharedScores : public ScratchFolder {
 public:
  using ScratchFolder::giveTo;
  std::string at(const std::string& relative) const { return folder + "/" + relative; }
  void folderAt(const std::string& relative, mode_t mode);
  void fileAt(const std::string& relative, const Bytes& bytes, mode_t mode);
  void linkAt(const std::string& relative, const std::string& to);

 protected:
  void SetUp() override;
  // Hands the whole scratch folder over and runs body as user (the files stay as given).
  std::string as(const TestUser& user, const std::function<std::string()>& body);
};
