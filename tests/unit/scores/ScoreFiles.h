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

// Runs body in a forked child as the ordinary user and returns what it reported; a child that
// cannot drop its privileges or dies says so instead.
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

  // Gives everything in the folder to the ordinary user (when running as root), then runs body.
  std::string asPlayer(const std::function<std::string()>& body);

  static void write(const std::string& path, const Bytes& bytes);
  static Bytes read(const std::string& path);
  // Every path under the folder, relative to it, links not followed.
  std::vector<std::string> listing() const;

  std::string folder;
  std::string file;  // folder/HIGHSCORE.DAT
};
