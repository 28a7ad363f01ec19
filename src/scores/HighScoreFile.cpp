// HIGHSCORE.DAT: the 94-byte little-endian file image, its load and its atomic save.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "scores/HighScoreLocation.h"
#include "scores/HighScoreTable.h"

namespace {
// Bytes are put together by hand so the file is the same on any machine.
void putLittle16(uint8_t* at, int16_t value) {
  auto bits = static_cast<uint16_t>(value);
  at[0] = static_cast<uint8_t>(bits & 0xFF);
  at[1] = static_cast<uint8_t>(bits >> 8);
}

void putLittle32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

int16_t getLittle16(const uint8_t* at) {
  return static_cast<int16_t>(static_cast<uint16_t>(at[0] | (at[1] << 8)));
}

uint32_t getLittle32(const uint8_t* at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t{at[i]} << (8 * i);
  return value;
}

constexpr std::size_t kChecksumOffset = kHighScoreFileBytes - 4;

// Linux gives up on a path after 40 links; a longer chain is a loop.
constexpr int kMaxLinkHops = 40;
// A new file is readable by all, like any file the player makes (the umask still applies).
constexpr mode_t kNewFileMode = 0644;

std::string folderOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// File systems without a flush answer EINVAL or ENOTSUP: there is nothing more to wait for.
bool flushed(int fd) {
  if (highScoreSync(fd) == 0) return true;
  return errno == EINVAL || errno == ENOTSUP;
}

// The rename of a save is durable only once the folder holding it is flushed too. A folder
// that cannot be opened for that is left as it is; a flush that fails is a failed save.
bool syncFolderOf(const std::string& path) {
  const std::string folder = folderOf(path);
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;
  bool synced = flushed(fd);
  ::close(fd);
  return synced;
}

bool writeAll(int fd, const HighScoreBytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t wrote = ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += std::size_t(wrote);
  }
  return true;
}

// The file a save replaces: the end of a chain of links, relative targets taken from the
// folder of the link that names them. A missing end is fine (the save creates it); a loop,
// a chain too long or an unreadable link is not.
bool followLinks(std::string& path) {
  for (int hop = 0;; ++hop) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    if (!S_ISLNK(info.st_mode)) return true;
    if (hop == kMaxLinkHops) return false;
    std::string target(PATH_MAX, '\0');
    ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || std::size_t(length) >= target.size()) return false;
    target.resize(std::size_t(length));
    path = target[0] == '/' ? target : folderOf(path) + target;
  }
}

// Used only when no temporary file can be made beside the file (a shared folder where only
// the file is writable): a failure in the middle may leave it torn, as any rewrite would.
bool writeInPlace(const std::string& path, const HighScoreBytes& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool written = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && writeAll(fd, bytes) &&
                 ::ftruncate(fd, off_t(bytes.size())) == 0 && flushed(fd);
  return (::close(fd) == 0) && written;
}
}  // namespace

HighScoreBytes encodeHighScores(const HighScoreTable& table) {
  HighScoreBytes bytes{};
  uint8_t* at = bytes.data();
  for (const auto& mode : table.entries) {
    for (const HighScoreEntry& entry : mode) {
      for (int k = 0; k < kLetters; ++k) putLittle16(at + 2 * k, entry.letters[k]);
      putLittle32(at + 6, entry.score);
      at += kHighScoreEntryBytes;
    }
  }
  putLittle32(at, highScoreChecksum(table));
  return bytes;
}

bool decodeHighScores(const uint8_t* bytes, std::size_t size, HighScoreTable& table) {
  if (bytes == nullptr || size < kHighScoreFileBytes) return false;
  HighScoreTable read{};
  const uint8_t* at = bytes;
  for (auto& mode : read.entries) {
    for (HighScoreEntry& entry : mode) {
      for (int k = 0; k < kLetters; ++k) entry.letters[k] = getLittle16(at + 2 * k);
      entry.score = getLittle32(at + 6);
      at += kHighScoreEntryBytes;
    }
  }
  if (getLittle32(bytes + kChecksumOffset) != highScoreChecksum(read)) return false;
  table = read;
  return true;
}

SyncFunction highScoreSync = ::fsync;

// Opened without blocking, so a pipe of that name cannot stall the start; anything but a
// plain file fails the load.
bool loadHighScoresFrom(const char* path, HighScoreTable& table) {
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  HighScoreBytes bytes{};
  std::size_t got = 0;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    while (got < bytes.size()) {
      ssize_t read = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (read < 0 && errno == EINTR) continue;
      if (read <= 0) break;
      got += std::size_t(read);
    }
  }
  ::close(fd);
  return decodeHighScores(bytes.data(), got, table);
}

// Written beside the real file, flushed to the disk and renamed over it, so a crash or a
// power cut leaves either the old file or the new one, never half of one. A link is kept:
// the file it leads to is the one replaced.
bool saveHighScoresTo(const char* path, const HighScoreTable& table) {
  std::string target(path);
  if (!followLinks(target)) return false;
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  // A read-only file was frozen by the player, and a file not theirs is not theirs to replace.
  if (exists && !playerMayWrite(target)) return false;

  const HighScoreBytes bytes = encodeHighScores(table);
  const std::string temporary = target + ".tmp";
  // A stale one from a crash, or something planted there: never written through.
  ::unlink(temporary.c_str());
  int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
  if (fd < 0) return exists && writeInPlace(target, bytes);

  bool written =
      (!exists || ::fchmod(fd, old.st_mode & 07777) == 0) && writeAll(fd, bytes) && flushed(fd);
  written = (::close(fd) == 0) && written;
  if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return syncFolderOf(target);
}
