// The files the generator makes for an install: the default score file, written only where no
// score file is yet, the PNG writer's failures, and the window's icon the game reads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "Desktop.h"
#include "app/WindowIcon.h"
#include "scores/HighScoreFile.h"

namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zeph-install-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::optional<Bytes> contents(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void write(const std::string& path, const Bytes& bytes) const {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  std::string folder_;
};

Bytes defaultBytes() {
  HighScoreTable table{};
  setDefaultHighScores(table);
  HighScoreBytes bytes = encodeHighScores(table);
  return Bytes(bytes.begin(), bytes.end());
}

using DefaultScoreFile = ScratchFolder;

TEST_F(DefaultScoreFile, IsWrittenWhereNoneIsAndNeverOverAPlayersFile) {
  const Bytes played = [] {
    HighScoreTable table{};
    setDefaultHighScores(table);
    table.entries[1][0] = HighScoreEntry{{1, 2, 3}, 50000};
    HighScoreBytes bytes = encodeHighScores(table);
    return Bytes(bytes.begin(), bytes.end());
  }();
  const Bytes damaged = {1, 2, 3};
  struct Case {
    const char* what;
    std::optional<Bytes> before;
    bool keepExisting;
    Bytes after;
  } cases[] = {
      {"no file yet", std::nullopt, true, defaultBytes()},
      {"a player's scores", played, true, played},
      {"a damaged file: the game reports it, the build leaves it", damaged, true, damaged},
      {"the install's pristine copy is always rewritten", played, false, defaultBytes()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = folder_ + "/HIGHSCORE.DAT";
    fs::remove(path);
    if (c.before) write(path, *c.before);
    EXPECT_TRUE(writeDefaultHighScores(path, c.keepExisting));
    EXPECT_EQ(contents(path), c.after);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
  }
  HighScoreTable read{};
  ASSERT_TRUE(loadHighScoresFrom((folder_ + "/HIGHSCORE.DAT").c_str(), read));
}

TEST_F(DefaultScoreFile, ALinkInItsPlaceIsLeftAlone) {
  std::string path = folder_ + "/HIGHSCORE.DAT";
  fs::create_symlink(folder_ + "/elsewhere", path);  // dangling: exists() would say absent
  EXPECT_TRUE(writeDefaultHighScores(path, true));
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_FALSE(fs::exists(folder_ + "/elsewhere"));
}

TEST_F(DefaultScoreFile, AMissingFolderIsAFailure) {
  EXPECT_FALSE(writeDefaultHighScores(folder_ + "/missing/HIGHSCORE.DAT", true));
}

using PngFile = ScratchFolder;

TEST_F(PngFile, FailuresLeaveNoFileBehind) {
  const std::vector<uint8_t> pixels(4 * 4 * 4, 255);
  struct Case {
    const char* what;
    std::string path;
    std::vector<uint8_t> rgba;
    int size;
  } cases[] = {
      {"no such folder", folder_ + "/missing/icon.png", pixels, 4},
      {"fewer pixels than the size", folder_ + "/short.png", pixels, 5},
      {"no pixels", folder_ + "/empty.png", {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(writePng(c.path, c.rgba, c.size, c.size));
    EXPECT_FALSE(fs::exists(c.path));
    EXPECT_FALSE(fs::exists(c.path + ".tmp"));
  }
  std::string good = folder_ + "/good.png";
  ASSERT_TRUE(writePng(good, pixels, 4, 4));
  auto bytes = contents(good);
  ASSERT_TRUE(bytes && bytes->size() > 8);
  EXPECT_EQ(Bytes(bytes->begin(), bytes->begin() + 8),
            (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
}
using WindowIconFile = ScratchFolder;

// The game decodes what the generator wrote into the menu icon's own pixels, at every size.
TEST_F(WindowIconFile, HoldsTheMenuIconAtEverySize) {
  const std::string path = folder_ + "/" + kWindowIconFile;
  ASSERT_TRUE(writeWindowIcon(path));
  const std::vector<unsigned long> icon = readWindowIcon(path.c_str());
  size_t at = 0;
  for (int size : kWindowIconSizes) {
    SCOPED_TRACE(size);
    ASSERT_LE(at + 2, icon.size());
    EXPECT_EQ(icon[at], static_cast<unsigned long>(size));
    EXPECT_EQ(icon[at + 1], static_cast<unsigned long>(size));
    at += 2;
    const std::vector<uint8_t> rgba = drawIcon(size);
    ASSERT_LE(at + rgba.size() / 4, icon.size());
    for (size_t i = 0; i < rgba.size(); i += 4, ++at) {
      const unsigned long argb = static_cast<unsigned long>(rgba[i + 3]) << 24 |
                                 static_cast<unsigned long>(rgba[i]) << 16 |
                                 static_cast<unsigned long>(rgba[i + 1]) << 8 | rgba[i + 2];
      ASSERT_EQ(icon[at], argb) << "pixel " << i / 4;
    }
  }
  EXPECT_EQ(at, icon.size());
  EXPECT_FALSE(fs::exists(path + ".tmp"));
}

TEST_F(WindowIconFile, AFailedWriteLeavesNothingBehind) {
  const std::string path = folder_ + "/missing/" + kWindowIconFile;
  EXPECT_FALSE(writeWindowIcon(path));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(fs::exists(path + ".tmp"));
}
}  // namespace
