// Scratch folders and the ordinary-user runner shared by the high score file tests.
#include "ScoreFiles.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {
void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote <= 0) return;
    done += std::size_t(wrote);
  }
}
}  // namespace

bool becomeUser(const TestUser& user) {
  if (::geteuid() != 0) return true;  // already an ordinary user
  return ::setgroups(user.groups.size(), user.groups.data()) == 0 &&
         ::setresgid(user.gid, user.gid, user.gid) == 0 &&
         ::setresuid(user.uid, user.uid, user.uid) == 0;
}

std::string asOrdinaryUser(const std::function<std::string()>& body) {
  return asUser(kPlayer, body);
}

std::string asUser(const TestUser& user, const std::function<std::string()>& body) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return "no pipe";
  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child < 0) return "no fork";
  if (child == 0) {
    ::close(pipeEnds[0]);
    if (!becomeUser(user)) {
      writeAll(pipeEnds[1], "cannot become user " + std::to_string(user.uid));
      ::_exit(1);
    }
    writeAll(pipeEnds[1], body());
    ::_exit(0);
  }
  ::close(pipeEnds[1]);
  std::string report;
  char buffer[512];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    report.append(buffer, std::size_t(got));
  }
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return "child failed (status " + std::to_string(status) + "): " + report;
  return report;
}

Bytes defaultFile() {
  Bytes bytes;
  for (int entry = 0; entry < 9; ++entry)
    bytes.insert(bytes.end(), {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
  bytes.insert(bytes.end(), {0x1B, 0x00, 0x00, 0x00});
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
