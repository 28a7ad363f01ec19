// Scratch folders for the high score file tests, and the one way they run code as an ordinary
// user (uid/gid 65534 when the tests run as root), so permission checks really apply.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scores/HighScoreFile.h"

using Bytes = std::vector<uint8_t>;

inline constexpr uid_t kOrdinaryId = 65534;

// A user of the machine as a test plays them: ids need no entry in /etc/passwd.
struct TestUser {
  uid_t uid;
  gid_t gid;
  std::vector<gid_t> groups;  // supplementary groups
};
inline const TestUser kPlayer{kOrdinaryId, kOrdinaryId, {}};

// Turns this process into the user (in a child of the test); true when already an ordinary one.
bool becomeUser(const TestUser& user);

// Runs body in a forked child as the user and returns what it reported; a child that cannot
// become the user or dies says so instead. Only root can become another user: otherwise body
// runs as the current one.
std::string asUser(const TestUser& user, const std::function<std::string()>& body);
std::string asOrdinaryUser(const std::function<std::string()>& body);

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
