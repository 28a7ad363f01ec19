// The file-system rules of every score file the game writes: every step after the walk is
// taken relative to the folder's descriptor, never by path again.
#include "scores/SharedFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "files/ReadFile.h"

namespace {
// A new file is readable by all, like any file the player makes (the umask still applies);
// in a folder its group may write, the group may write the file too, whatever the umask.
constexpr mode_t kNewFileMode = 0644;
constexpr mode_t kGroupFileMode = 0664;
// Only read and write bits travel to a replacement: the content is a table anyone sharing the
// folder may have written, never something to run.
constexpr mode_t kKeptModeBits = 0666;
constexpr mode_t kAnyWriteBit = 0222;
// A save holds the lock for a few milliseconds; a holder this slow is stuck, or hostile.
constexpr int kLockTries = 100;
constexpr long kLockRetryNanoseconds = 10'000'000;
constexpr int kTemporaryNameTries = 100;
constexpr std::size_t kTemporaryTagLength = 10;
// No save takes this long: a temporary file this old was left by a save that was killed.
constexpr time_t kStaleTemporarySeconds = 60;
constexpr const char* kTemporarySuffix = ".tmp";
// Every open of the save: it never waits for a pipe's reader, a lease holder or a terminal.
constexpr int kNoWaiting = O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;

constexpr const char* kLeaseReason = "another program holds the file (a lease): try again later";
constexpr const char* kFrozenByOtherReason = "the file is read-only (its owner froze it)";
constexpr const char* kBecameLinkReason = "the file became a link while it was saved";

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

// The folder reopened to be listed, locked or flushed; invalid when the player may only pass
// through it (a group's write-only folder), which still takes a new file.
FileDescriptor listable(const FileDescriptor& folder) {
  return FileDescriptor(::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Unique among every save of every copy: O_EXCL refuses a name already taken, and a link
// planted under the name is never followed.
FileDescriptor createTemporary(int folder, const std::string& name, std::string& temporary) {
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    uint64_t random = 0;
    if (::getrandom(&random, sizeof random, 0) != sizeof random)
      random = uint64_t(::getpid()) << 32 ^ uint64_t(std::time(nullptr)) ^ uint64_t(attempt);
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
    std::string tag;
    for (std::size_t i = 0; i < kTemporaryTagLength; ++i, random >>= 5) tag += kDigits[random & 31];
    temporary = name + "." + tag + kTemporarySuffix;
    FileDescriptor fd(::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | kNoWaiting,
                               kNewFileMode));
    if (fd.valid() || errno != EEXIST) return fd;
  }
  return FileDescriptor();
}

// A killed save leaves its temporary file behind. Whoever shares the folder may clear it once
// it is old, whichever player's save it was: the folder's permissions (a sticky bit) still
// decide who may remove what. Removing a name never writes through it.
void removeStaleTemporaries(int listing, const std::string& name) {
  DIR* entries = ::fdopendir(::dup(listing));
  if (!entries) return;
  const std::string prefix = name + ".";
  const std::size_t length = prefix.size() + kTemporaryTagLength + std::strlen(kTemporarySuffix);
  const time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(entries)) {
    const std::string found = entry->d_name;
    if (found.size() != length || !found.starts_with(prefix) || !found.ends_with(kTemporarySuffix))
      continue;
    struct stat info {};
    if (::fstatat(listing, found.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && now - info.st_mtime > kStaleTemporarySeconds)
      ::unlinkat(listing, found.c_str(), 0);
  }
  ::closedir(entries);
}

// No write bit at all: its owner froze the file, and that holds even for root. Anyone else
// hears of it: their entries would otherwise vanish without a word.
FileOutcome frozenBy(const struct stat& info) {
  return info.st_uid == ::geteuid() ? FileOutcome::frozen()
                                    : FileOutcome::refused(kFrozenByOtherReason);
}

// The file as it stands, opened for writing without waiting for anything. It is looked at
// through a handle that reads nothing (O_PATH) and reopened through that very handle, so what
// is opened is what was checked: a pipe or a device is never opened at all. A missing file
// leaves file invalid.
FileOutcome openExisting(const FileInFolder& at, FileDescriptor& file, struct stat& info) {
  const FileDescriptor seen(
      ::openat(at.folder.get(), at.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!seen.valid()) return errno == ENOENT ? FileOutcome::ok() : FileOutcome::failed(errno);
  if (::fstat(seen.get(), &info) != 0) return FileOutcome::failed(errno);
  if (S_ISLNK(info.st_mode)) return FileOutcome::refused(kBecameLinkReason);
  if (S_ISDIR(info.st_mode)) return FileOutcome::failed(EISDIR);
  if (!S_ISREG(info.st_mode)) return FileOutcome::refused(kNotRegularReason);
  if (!(info.st_mode & kAnyWriteBit)) return frozenBy(info);

  const std::string handle = "/proc/self/fd/" + std::to_string(seen.get());
  FileDescriptor opened(::open(handle.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  // Without /proc the name is opened again, and the type checked on the descriptor.
  if (!opened.valid() && errno == ENOENT)
    opened.reset(::openat(at.folder.get(), at.name.c_str(), O_WRONLY | kNoWaiting));
  if (!opened.valid()) {
    switch (errno) {
      case ENOENT:
        return FileOutcome::ok();  // gone meanwhile: the save makes it anew
      case ELOOP:
        return FileOutcome::refused(kBecameLinkReason);
      case ENXIO:
        return FileOutcome::refused(kNotRegularReason);  // a pipe without a reader
      case EWOULDBLOCK:
        return FileOutcome::refused(kLeaseReason);
      default:
        return FileOutcome::failed(errno);
    }
  }
  if (::fstat(opened.get(), &info) != 0) return FileOutcome::failed(errno);
  if (!S_ISREG(info.st_mode)) return FileOutcome::refused(kNotRegularReason);
  if (!(info.st_mode & kAnyWriteBit)) return frozenBy(info);
  file = std::move(opened);
  return FileOutcome::ok();
}

// Used only where no temporary file can take the file's place (a shared folder where only
// the file is writable, a group the player cannot give, a sticky folder): a failure in the
// middle may leave it torn, as any rewrite would. Another name of the file sees the new table
// too, as a link means; only root, whom no permission stops, leaves another's linked file be.
FileOutcome writeInPlace(const FileDescriptor& file, const struct stat& info,
                         std::span<const uint8_t> bytes, const StillCurrent& stillCurrent) {
  if (info.st_nlink > 1 && ::geteuid() == 0 && info.st_uid != 0)
    return FileOutcome::refused("the file has other hard links");
  if (stillCurrent && !stillCurrent()) return FileOutcome::refused(kChangedMeanwhile);
  if (!writeAll(file.get(), bytes) || ::ftruncate(file.get(), off_t(bytes.size())) != 0)
    return FileOutcome::failed(errno);
  FileOutcome outcome = flushed(file.get()) ? FileOutcome::ok() : FileOutcome::failed(errno);
  outcome.replaced = true;
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

// A first file in a folder its group may write belongs to that group, as a setgid folder
// means, so every member's later save may replace it.
void shareWithFoldersGroup(int fd, const struct stat& folder) {
  if (!(folder.st_mode & S_IWGRP)) return;
  struct stat made {};
  if (::fstat(fd, &made) != 0) return;
  if (made.st_gid != folder.st_gid && ::fchown(fd, uid_t(-1), folder.st_gid) != 0) return;
  ::fchmod(fd, kGroupFileMode);
}
}  // namespace

SyncFunction sharedFileSync = ::fsync;

bool playerMayWrite(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) &&
         ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

FileOutcome walkToSharedFile(const std::string& path, const std::string& ownBelow, bool makeFolders,
                             FileInFolder& at) {
  if (ownBelow.empty()) return walkToFile(AT_FDCWD, path, at);
  const std::string base = ownBelow.ends_with('/') ? ownBelow : ownBelow + "/";
  if (!path.starts_with(base)) return FileOutcome::refused(path + " is not in " + ownBelow);
  FileDescriptor start;
  if (FileOutcome opened = openFolder(AT_FDCWD, ownBelow, start); !opened) return opened;
  struct stat info {};
  if (::fstat(start.get(), &info) != 0) return FileOutcome::failed(errno);
  const bool own = info.st_uid == ::geteuid();
  const WalkRules rules{true, makeFolders && own};
  FileOutcome walked = walkToFile(start.get(), path.substr(base.size()), at, rules, ownBelow);
  if (!walked && walked.error == ENOENT && makeFolders && !own)
    return FileOutcome::refused(ownBelow + " belongs to another user: no folder is made in it");
  return walked;
}

FileOutcome readSharedFile(const FileInFolder& at, std::span<uint8_t> into, std::size_t& got) {
  FileOutcome read = readFileStart(at, into, got);
  if (read) return read;
  got = 0;
  if (read.reason == kMissingReason) return FileOutcome::ok();
  if (read.error == EWOULDBLOCK) return FileOutcome::refused(kLeaseReason);
  return read;
}

FolderLock::FolderLock(const FileInFolder& at) : folder(listable(at.folder)) {
  if (!folder.valid()) return;
  for (int attempt = 0; attempt < kLockTries; ++attempt) {
    if (::flock(folder.get(), LOCK_EX | LOCK_NB) == 0) {
      locked = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    timespec pause{0, kLockRetryNanoseconds};
    ::nanosleep(&pause, nullptr);
  }
}

FileOutcome replaceSharedFile(const FileInFolder& at, std::span<const uint8_t> bytes,
                              const StillCurrent& stillCurrent) {
  const int folder = at.folder.get();
  struct stat place {};
  if (::fstat(folder, &place) != 0) return FileOutcome::failed(errno);
  const FileDescriptor listing = listable(at.folder);
  if (listing.valid()) removeStaleTemporaries(listing.get(), at.name);

  FileDescriptor old;
  struct stat oldInfo {};
  if (FileOutcome opened = openExisting(at, old, oldInfo); !opened) return opened;
  const bool exists = old.valid();

  std::string temporary;
  FileDescriptor fresh = createTemporary(folder, at.name, temporary);
  if (!fresh.valid()) {
    const int error = errno;
    return exists ? writeInPlace(old, oldInfo, bytes, stillCurrent) : FileOutcome::failed(error);
  }
  if (exists && !takeOverAttributes(fresh.get(), oldInfo)) {
    fresh.reset();
    ::unlinkat(folder, temporary.c_str(), 0);
    return writeInPlace(old, oldInfo, bytes, stillCurrent);
  }
  if (!exists) shareWithFoldersGroup(fresh.get(), place);

  bool written = writeAll(fresh.get(), bytes) && flushed(fresh.get());
  int error = errno;
  if (::close(fresh.release()) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && stillCurrent && !stillCurrent()) {
    ::unlinkat(folder, temporary.c_str(), 0);
    return FileOutcome::refused(kChangedMeanwhile);
  }
  if (written && ::renameat(folder, temporary.c_str(), folder, at.name.c_str()) == 0) {
    FileOutcome outcome =
        !listing.valid() || flushed(listing.get()) ? FileOutcome::ok() : FileOutcome::failed(errno);
    outcome.replaced = true;
    return outcome;
  }
  if (written) error = errno;
  ::unlinkat(folder, temporary.c_str(), 0);
  // A sticky folder lets no one rename over another's file; the file itself may be open.
  if (written && exists && (error == EPERM || error == EACCES))
    return writeInPlace(old, oldInfo, bytes, stillCurrent);
  return FileOutcome::failed(error);
}
