// The file-system rules of every score file the game reads or writes.
#include "scores/SharedFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <utility>

namespace {
// Linux gives up on a path after 40 links; a longer chain is a loop.
constexpr int kMaxLinkHops = 40;
// A new file is readable by all, like any file the player makes (the umask still applies).
constexpr mode_t kNewFileMode = 0644;
constexpr mode_t kPrivateFolderMode = 0700;
// Only read and write bits travel to a replacement: the content is a table anyone sharing the
// folder may have written, never something to run.
constexpr mode_t kKeptModeBits = 0666;
// A save holds the lock for a few milliseconds; a holder this slow is stuck.
constexpr int kLockTries = 100;
constexpr long kLockRetryNanoseconds = 10'000'000;
constexpr int kTemporaryNameTries = 100;
constexpr std::size_t kTemporaryTagLength = 10;
// No save takes this long: a temporary file this old was left by a save that was killed.
constexpr time_t kStaleTemporarySeconds = 60;
constexpr const char* kTemporarySuffix = ".tmp";

std::string folderOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isInside(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.starts_with("/");
  return path == folder || path.starts_with(folder + "/");
}

// A folder the player may pass through but not list still takes a file rewritten in place;
// it is only found by path then, and cannot be flushed or locked.
int openFolderOf(const std::string& path, bool& listable) {
  const std::string folder = folderOf(path);
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  listable = fd >= 0;
  if (fd < 0 && errno == EACCES) fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return fd;
}

// File systems without a flush answer EINVAL or ENOTSUP: there is nothing more to wait for.
bool flushed(int fd) {
  if (sharedFileSync(fd) == 0) return true;
  return errno == EINVAL || errno == ENOTSUP;
}

bool writeAll(int fd, std::span<const uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t wrote = ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      if (wrote == 0) errno = EIO;
      return false;
    }
    done += std::size_t(wrote);
  }
  return true;
}

// Unique among every save of every copy: O_EXCL refuses a name already taken, and a link
// planted under the name is never followed.
int createTemporary(int folder, const std::string& name, mode_t mode, std::string& temporary) {
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    uint64_t random = 0;
    if (::getrandom(&random, sizeof random, 0) != sizeof random)
      random = uint64_t(::getpid()) << 32 ^ uint64_t(std::time(nullptr)) ^ uint64_t(attempt);
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
    std::string tag;
    for (std::size_t i = 0; i < kTemporaryTagLength; ++i, random >>= 5) tag += kDigits[random & 31];
    temporary = name + "." + tag + kTemporarySuffix;
    int fd = ::openat(folder, temporary.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// A killed save leaves its temporary file behind; the player's own old ones go. Removing a
// name never writes through it, and a live save's file is never this old.
void removeStaleTemporaries(int folder, const std::string& name) {
  int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* entries = ::fdopendir(listing);
  if (!entries) {
    ::close(listing);
    return;
  }
  const std::string prefix = name + ".";
  const std::size_t length = prefix.size() + kTemporaryTagLength + std::strlen(kTemporarySuffix);
  const time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(entries)) {
    const std::string found = entry->d_name;
    if (found.size() != length || !found.starts_with(prefix) || !found.ends_with(kTemporarySuffix))
      continue;
    struct stat info {};
    if (::fstatat(folder, found.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        now - info.st_mtime > kStaleTemporarySeconds)
      ::unlinkat(folder, found.c_str(), 0);
  }
  ::closedir(entries);
}

// Used only where no temporary file can take the file's place (a shared folder where only
// the file is writable, a group the player cannot give): a failure in the middle may leave
// it torn, as any rewrite would. A file with other hard links is not ours alone to rewrite.
FileOutcome writeInPlace(int folder, const std::string& name, std::span<const uint8_t> bytes) {
  int fd = ::openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return FileOutcome::failed(errno);
  struct stat info {};
  FileOutcome outcome;
  if (::fstat(fd, &info) != 0) {
    outcome = FileOutcome::failed(errno);
  } else if (!S_ISREG(info.st_mode)) {
    outcome = FileOutcome::refused("not a plain file");
  } else if (info.st_nlink != 1) {
    outcome = FileOutcome::refused("the file has other hard links");
  } else if (!writeAll(fd, bytes) || ::ftruncate(fd, off_t(bytes.size())) != 0) {
    outcome = FileOutcome::failed(errno);
  } else {
    outcome = flushed(fd) ? FileOutcome::ok() : FileOutcome::failed(errno);
    outcome.replaced = true;
  }
  if (::close(fd) != 0 && outcome.done) outcome = FileOutcome::failed(errno);
  return outcome;
}

// Gives the new file the old one's group (and, for root, its owner) and read/write bits.
// False when the group cannot be given: the player is no member of it.
bool takeOverAttributes(int fd, const struct stat& old) {
  struct stat made {};
  if (::fstat(fd, &made) != 0) return false;
  const uid_t owner = ::geteuid() == 0 ? old.st_uid : uid_t(-1);
  if ((made.st_gid != old.st_gid || owner != uid_t(-1)) && ::fchown(fd, owner, old.st_gid) != 0)
    return false;
  return ::fchmod(fd, old.st_mode & kKeptModeBits) == 0;
}
}  // namespace

SyncFunction sharedFileSync = ::fsync;

FileOutcome followTrustedLinks(std::string& path) {
  for (int hop = 0;; ++hop) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
      return errno == ENOENT ? FileOutcome::ok() : FileOutcome::failed(errno);
    if (!S_ISLNK(info.st_mode)) return FileOutcome::ok();
    if (!trustedOwner(info.st_uid))
      return FileOutcome::refused(path + " is a link that belongs to another user");
    if (hop == kMaxLinkHops) return FileOutcome::failed(ELOOP);
    std::string target(PATH_MAX, '\0');
    ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || std::size_t(length) >= target.size()) return FileOutcome::failed(EINVAL);
    target.resize(std::size_t(length));
    path = target[0] == '/' ? target : folderOf(path) + "/" + target;
  }
}

FileOutcome checkOwnFoldersFor(const std::string& file, const std::string& base, bool make) {
  std::string::size_type end = file.find_last_of('/');
  if (end == std::string::npos || !isInside(file.substr(0, end), base)) return FileOutcome::ok();
  for (std::string::size_type slash = file.find('/', base.size() + 1); slash <= end;
       slash = file.find('/', slash + 1)) {
    const std::string folder = file.substr(0, slash);
    if (make && ::mkdir(folder.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST)
      return FileOutcome::failed(errno);
    std::string real = folder;
    if (FileOutcome followed = followTrustedLinks(real); !followed) return followed;
    struct stat info {};
    if (::stat(real.c_str(), &info) != 0) {
      if (!make && errno == ENOENT) return FileOutcome::ok();
      return FileOutcome::failed(errno);
    }
    if (!S_ISDIR(info.st_mode)) return FileOutcome::refused(folder + " is not a folder");
    if (info.st_uid != ::geteuid())
      return FileOutcome::refused(folder + " belongs to another user");
  }
  return FileOutcome::ok();
}

bool playerMayWrite(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) &&
         ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

std::size_t readSharedFile(const std::string& path, std::span<uint8_t> into) {
  std::string real = path;
  if (!followTrustedLinks(real)) return 0;
  int fd = ::open(real.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return 0;
  std::size_t got = 0;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    while (got < into.size()) {
      ssize_t read = ::read(fd, into.data() + got, into.size() - got);
      if (read < 0 && errno == EINTR) continue;
      if (read <= 0) break;
      got += std::size_t(read);
    }
  }
  ::close(fd);
  return got;
}

FolderLock::FolderLock(const std::string& file) {
  bool listable = false;
  folder = openFolderOf(file, listable);
  if (!listable) return;
  for (int attempt = 0; attempt < kLockTries; ++attempt) {
    if (::flock(folder, LOCK_EX | LOCK_NB) == 0) {
      locked = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    timespec pause{0, kLockRetryNanoseconds};
    ::nanosleep(&pause, nullptr);
  }
}

FolderLock::~FolderLock() {
  if (folder >= 0) ::close(folder);
}

FileOutcome replaceSharedFile(const std::string& path, std::span<const uint8_t> bytes) {
  struct stat old {};
  const bool exists = ::lstat(path.c_str(), &old) == 0;
  if (exists && S_ISLNK(old.st_mode)) return FileOutcome::refused(path + " became a link");
  if (exists && S_ISDIR(old.st_mode)) return FileOutcome::failed(EISDIR);
  if (exists && !S_ISREG(old.st_mode)) return FileOutcome::refused("not a plain file");
  // No write bit at all: the player froze the file, and that holds even for root.
  if (exists && !(old.st_mode & 0222)) return FileOutcome::frozen();
  if (exists && !playerMayWrite(path)) return FileOutcome::failed(EACCES);

  bool listable = false;
  int folder = openFolderOf(path, listable);
  if (folder < 0) return FileOutcome::failed(errno);
  const std::string name = nameOf(path);
  std::string temporary;
  if (listable) removeStaleTemporaries(folder, name);
  int fd = createTemporary(folder, name, exists ? 0600 : kNewFileMode, temporary);
  FileOutcome outcome;
  if (fd < 0) {
    outcome = exists ? writeInPlace(folder, name, bytes) : FileOutcome::failed(errno);
  } else if (exists && !takeOverAttributes(fd, old)) {
    ::close(fd);
    ::unlinkat(folder, temporary.c_str(), 0);
    outcome = writeInPlace(folder, name, bytes);
  } else {
    bool written = writeAll(fd, bytes) && flushed(fd);
    int error = errno;
    if (::close(fd) != 0 && written) {
      written = false;
      error = errno;
    }
    if (written && ::renameat(folder, temporary.c_str(), folder, name.c_str()) == 0) {
      outcome = !listable || flushed(folder) ? FileOutcome::ok() : FileOutcome::failed(errno);
      outcome.replaced = true;
    } else {
      if (written) error = errno;
      ::unlinkat(folder, temporary.c_str(), 0);
      // A sticky folder lets no one rename over another's file; the file itself may be open.
      outcome = written && exists && (error == EPERM || error == EACCES)
                    ? writeInPlace(folder, name, bytes)
                    : FileOutcome::failed(error);
    }
  }
  ::close(folder);
  return outcome;
}
