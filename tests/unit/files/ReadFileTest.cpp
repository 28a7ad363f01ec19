// Every file the game reads: only regular files within their size, opened without blocking.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/ReadFile.h"
#include "support/AsUser.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {
class ReadFileTest : public TempFolderTest {
 protected:
  std::string put(const std::string& name, const std::string& text) {
    std::ofstream(root + "/" + name, std::ios::binary) << text;
    return root + "/" + name;
  }
  // What readWholeFile makes of path, as the ordinary user.
  std::string readAsPlayer(const std::string& path, std::size_t limit) {
    return asOrdinaryUser([&] {
      std::vector<uint8_t> bytes;
      FileOutcome outcome = readWholeFile(path, limit, bytes);
      if (!outcome) return "refused: " + outcome.reason;
      return "read: " + std::string(bytes.begin(), bytes.end());
    });
  }
};

TEST_F(ReadFileTest, OnlyRegularFilesWithinTheirLimitAreRead) {
  const std::string plain = put("plain", "twelve bytes");
  const std::string fifo = root + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  ASSERT_EQ(::symlink("/dev/zero", (root + "/zero").c_str()), 0);
  ::lchown((root + "/zero").c_str(), kOrdinaryId, kOrdinaryId);
  fs::create_directory(root + "/folder");
  const std::string giant = put("giant", "");
  ASSERT_EQ(::truncate(giant.c_str(), off_t{1} << 30), 0);  // sparse: nothing to wait for
  const std::string secret = put("secret", "hidden");
  ::chmod(secret.c_str(), 0600);

  struct Case {
    std::string path;
    std::size_t limit;
    std::string expected;
  } cases[] = {
      {plain, 12, "read: twelve bytes"},
      {plain, 11, "refused: too large (12 bytes, at most 11)"},
      {put("empty", ""), 10, "read: "},
      {fifo, 1000, "refused: not a regular file"},
      {root + "/zero", 1000, "refused: not a regular file"},
      {root + "/folder", 1000, "refused: not a regular file"},
      {giant, 1 << 20, "refused: too large (1073741824 bytes, at most 1048576)"},
      {root + "/none", 1000, "refused: missing"},
      {root + "/none/deeper", 1000, "refused: missing"},
      {secret, 1000, "refused: unreadable: permission denied"},
  };
  for (const Case& c : cases) EXPECT_EQ(readAsPlayer(c.path, c.limit), c.expected) << c.path;
}

TEST_F(ReadFileTest, RelativePathsStartInTheWorkingFolder) {
  put("beside", "data");
  const std::string got = asOrdinaryUser([&] {
    if (::chdir(root.c_str()) != 0) return std::string("no chdir");
    std::vector<uint8_t> bytes;
    return readWholeFile("beside", 100, bytes) ? std::string(bytes.begin(), bytes.end())
                                               : std::string("refused");
  });
  EXPECT_EQ(got, "data");
}

// One vector read into again and again (the pictures a start checks) holds only the last file.
TEST_F(ReadFileTest, AReusedVectorHoldsOnlyTheLastRead) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(readWholeFile(put("long", "a longer text"), 100, bytes));
  ASSERT_TRUE(readWholeFile(put("short", "short"), 100, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "short");
  EXPECT_FALSE(readWholeFile(put("large", std::string(101, 'x')), 100, bytes));
  EXPECT_TRUE(bytes.empty());
  ASSERT_TRUE(readWholeFile(root + "/long", 100, bytes));
  EXPECT_FALSE(readWholeFile(root + "/none", 100, bytes));
  EXPECT_TRUE(bytes.empty());
}

// A file read by its start (the score table) may be of any size: only its start is read.
TEST_F(ReadFileTest, FileStartReadsThePrefixOfAnyRegularFile) {
  const std::string path = put("long", "abcdefgh");
  ASSERT_EQ(::truncate(path.c_str(), off_t{1} << 30), 0);
  FileInFolder at;
  ASSERT_TRUE(walkToFile(AT_FDCWD, path, at));
  uint8_t start[4] = {};
  std::size_t got = 0;
  ASSERT_TRUE(readFileStart(at, start, got));
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(std::string(start, start + 4), "abcd");

  ASSERT_EQ(::mkfifo((root + "/pipe").c_str(), 0666), 0);
  ASSERT_TRUE(walkToFile(AT_FDCWD, root + "/pipe", at));
  EXPECT_EQ(readFileStart(at, start, got).reason, "not a regular file");
  EXPECT_EQ(got, 0u);
}
}  // namespace
