// Scratch folders and the ordinary-user runner shared by the high score file tests.
#include "ScoreFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "game/GameState.h"

namespace fs = std::filesystem;

// Written byte by byte into a vector of the file's size: growing it with insert makes GCC 12
// warn, falsely, of a write past the end on some targets.
Bytes defaultFile() {
  constexpr uint8_t kEntry[] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00};
  constexpr uint8_t kChecksum[] = {0x1B, 0x00, 0x00, 0x00};
  Bytes bytes(9 * sizeof kEntry + sizeof kChecksum);
  auto at = bytes.begin();
  for (int entry = 0; entry < 9; ++entry) at = std::copy(std::begin(kEntry), std::end(kEntry), at);
  std::copy(std::begin(kChecksum), std::end(kChecksum), at);
  return bytes;
}

HighScoreTable defaults() {
  HighScoreTable table{};
  setDefaultHighScores(table);
  return table;
}

Bytes imageOf(const HighScoreTable& table) {
  HighScoreBytes bytes = encodeHighScores(table);
  return Bytes(bytes.begin(), bytes.end());
}

bool sameTable(const HighScoreTable& a, const HighScoreTable& b) {
  return imageOf(a) == imageOf(b);
}

void ScratchFolder::SetUp() {
  char pattern[] = "/tmp/zeph-scores-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  folder = pattern;
  file = folder + "/HIGHSCORE.DAT";
}

// Folders a test made read-only are opened up again so the whole tree can go.
void ScratchFolder::TearDown() {
  others.clear();
  std::error_code ignored;
  ::chmod(folder.c_str(), 0755);
  for (auto it = fs::recursive_directory_iterator(folder, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink(ignored) && it->is_directory(ignored)) ::chmod(it->path().c_str(), 0755);
  }
  fs::remove_all(folder, ignored);
}

std::string ScratchFolder::asPlayer(const std::function<std::string()>& body) {
  if (::geteuid() == 0) {
    ::lchown(folder.c_str(), kOrdinaryId, kOrdinaryId);
    for (const auto& item : fs::recursive_directory_iterator(folder))
      ::lchown(item.path().c_str(), kOrdinaryId, kOrdinaryId);
    for (const auto& [path, owner] : others)
      ::lchown((folder + "/" + path).c_str(), owner.first, owner.second);
  }
  return asOrdinaryUser(body);
}

void ScratchFolder::giveTo(const std::string& path, uid_t uid, gid_t gid) {
  others.emplace_back(path, std::make_pair(uid, gid));
}

void ScratchFolder::write(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

Bytes ScratchFolder::read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ScratchFolder::listing() const {
  std::vector<std::string> paths;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(folder, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored))
    paths.push_back(it->path().lexically_relative(folder).string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

HighScoreTable withScore(int mode, uint32_t score) {
  HighScoreTable table = defaults();
  table.entries[mode][0].score = score;
  return table;
}

std::string scoresOf(const HighScoreTable& table, int mode) {
  const HighScoreEntry* entries = table.entries[mode];
  return std::to_string(entries[0].score) + " " + std::to_string(entries[1].score) + " " +
         std::to_string(entries[2].score);
}

std::string scoreFileOf(const std::string& path) {
  HighScoreTable table{};
  return loadHighScoresFrom(path.c_str(), table) ? scoresOf(table, Score) : "bad";
}

struct stat statOf(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info;
}

std::string capturingStderr(const std::function<std::string()>& body) {
  char name[] = "/tmp/zeph-stderr-XXXXXX";
  int fd = ::mkstemp(name);
  if (fd < 0) return "no capture file";
  std::fflush(stderr);
  int saved = ::dup(2);
  ::dup2(fd, 2);
  std::string result = body();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  ::close(fd);
  std::ifstream in(name);
  std::string said((std::istreambuf_iterator<char>(in)), {});
  ::unlink(name);
  return result + "|" + said;
}

std::string described(const FileOutcome& outcome) {
  if (outcome) return "saved";
  return outcome.silent ? "silent" : "failed: " + outcome.reason;
}

std::string told(const MergeOutcome& outcome) {
  return described(outcome) + (outcome.entriesSure ? "" : ", not sure");
}

void SharedScores::SetUp() {
  ScratchFolder::SetUp();
  if (::geteuid() != 0) GTEST_SKIP() << "laying out other users' files needs root";
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);  // every user passes through
}

void SharedScores::folderAt(const std::string& relative, mode_t mode) {
  ASSERT_TRUE(fs::create_directories(at(relative)));
  ASSERT_EQ(::chmod(at(relative).c_str(), mode), 0);
}

void SharedScores::fileAt(const std::string& relative, const Bytes& bytes, mode_t mode) {
  write(at(relative), bytes);
  ASSERT_EQ(::chmod(at(relative).c_str(), mode), 0);
}

void SharedScores::linkAt(const std::string& relative, const std::string& to) {
  ASSERT_EQ(::symlink(to.c_str(), at(relative).c_str()), 0);
}

std::string SharedScores::as(const TestUser& user, const std::function<std::string()>& body) {
  asPlayer([] { return std::string(); });
  return asUser(user, body);
}
