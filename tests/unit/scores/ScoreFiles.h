// Scratch folders for the high score file tests.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
