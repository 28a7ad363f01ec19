// The file-system rules of every score file the game writes: every step after the walk is
// taken relative to the folder's descriptor, never by path again.
#include "scores/SharedFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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
// Older saves named their temporaries with ten random letters; the uid and slot take as many.
constexpr std::size_t kTemporaryTagLength = 10;
// No save takes this long: a temporary file this old was left by a save that was killed.
constexpr time_t kStaleTemporarySeconds = 60;
constexpr const char* kTemporarySuffix = ".tmp";
// Every open of the save: it never waits for a pipe's reader, a lease holder or a terminal.
constexpr int kNoWaiting = O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;

constexpr const char* kLeaseReason = "another program holds the file (a lease): try again later";
constexpr const char* kFrozenByOtherReason = "the file is read-only (its owner froze it)";
constexpr const char* kBecameLinkReason = "the file became a link while it was saved";

void pauseForLock() {
  timespec pause{0, kLockRetryNanoseconds};
  ::nanosleep(&pause, nullptr);
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

// No room for a new file's bytes, where a rewrite of the old one's needs none.
bool diskFull(int error) { return error == ENOSPC || error == EDQUOT; }

// The folder reopened to be listed or flushed; invalid when the player may only pass through
// it (a group's write-only folder), which still takes a new file.
FileDescriptor listable(const FileDescriptor& folder) {
  return FileDescriptor(::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// A temporary of the player's own that a killed save left: old, a plain file, the player's.
bool removeIfStale(int folder, const std::string& name) {
  struct stat info {};
  if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
      info.st_uid != ::geteuid() || std::time(nullptr) - info.st_mtime <= kStaleTemporarySeconds)
    return false;
  return ::unlinkat(folder, name.c_str(), 0) == 0;
}

// Unique among every save of every copy: the name carries the player's uid, a slot tells the
// player's own saves at the same moment apart, and O_EXCL refuses a name already taken (a link
// planted under it is never followed). Names the player's killed saves left are taken again.
FileDescriptor createTemporary(int folder, const std::string& name, std::string& temporary) {
  for (int slot = 0; slot < kTemporarySlots; ++slot) {
    temporary = temporaryNameOf(name, ::geteuid(), slot);
    for (int tries = 0; tries < 2; ++tries) {
      FileDescriptor fd(::openat(folder, temporary.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | kNoWaiting, kNewFileMode));
      if (fd.valid() || errno != EEXIST) return fd;
      if (!removeIfStale(folder, temporary)) break;
    }
  }
  errno = EEXIST;
  return FileDescriptor();
}

// A killed save leaves its temporary file behind. In a folder the player may list and where
// anyone may remove anyone's names, whoever shares the folder clears it once it is old,
// whichever player's save it was (older saves' random names too). In a sticky folder no one
// may remove another's names, so any number of them may stand there: the save looks only at
// its own few names, as it does where it may not list the folder. Removing a name never writes
// through it.
void removeStaleTemporaries(const FileInFolder& at, const struct stat& place) {
  const FileDescriptor listing = (place.st_mode & S_ISVTX) ? FileDescriptor() : listable(at.folder);
  DIR* entries = listing.valid() ? ::fdopendir(::dup(listing.get())) : nullptr;
  if (!entries) {
    for (int slot = 0; slot < kTemporarySlots; ++slot)
      removeIfStale(at.folder.get(), temporaryNameOf(at.name, ::geteuid(), slot));
    return;
  }
  const std::string prefix = at.name + ".";
  const std::size_t length = prefix.size() + kTemporaryTagLength + std::strlen(kTemporarySuffix);
  const time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(entries)) {
    const std::string found = entry->d_name;
    if (found.size() != length || !found.starts_with(prefix) || !found.ends_with(kTemporarySuffix))
      continue;
    struct stat info {};
    if (::fstatat(listing.get(), found.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && now - info.st_mtime > kStaleTemporarySeconds)
      ::unlinkat(listing.get(), found.c_str(), 0);
  }
  ::closedir(entries);
}

// The name as it stands, looked at through a handle that reads nothing (O_PATH): a link, a
// folder, a pipe or a device is refused before anything could open it. A missing file leaves
// seen invalid.
FileOutcome lookAt(const FileInFolder& at, FileDescriptor& seen, struct stat& info) {
  seen.reset(::openat(at.folder.get(), at.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!seen.valid()) return errno == ENOENT ? FileOutcome::ok() : FileOutcome::failed(errno);
  if (::fstat(seen.get(), &info) != 0) return FileOutcome::failed(errno);
  if (S_ISLNK(info.st_mode)) return FileOutcome::refused(kBecameLinkReason);
  if (S_ISDIR(info.st_mode)) return FileOutcome::failed(EISDIR);
  if (!S_ISREG(info.st_mode)) return FileOutcome::refused(kNotRegularReason);
  return FileOutcome::ok();
}

// Reopens the file seen through that very handle, so what is opened is what was checked.
// errno tells a failure: EACCES or EPERM when the player may not open it so, ENOENT when it
// went meanwhile, EWOULDBLOCK for a lease.
FileDescriptor reopen(const FileInFolder& at, const FileDescriptor& seen, int access) {
  const std::string handle = "/proc/self/fd/" + std::to_string(seen.get());
  FileDescriptor opened(::open(handle.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  // Without /proc the name is opened again, and the type checked on the descriptor.
  if (!opened.valid() && errno == ENOENT)
    opened.reset(::openat(at.folder.get(), at.name.c_str(), access | kNoWaiting));
  struct stat info {};
  if (opened.valid() && (::fstat(opened.get(), &info) != 0 || !S_ISREG(info.st_mode))) {
    opened.reset();
    errno = ENXIO;
  }
  return opened;
}

// What an open of the name that failed with error means for the save.
FileOutcome notOpened(int error) {
  switch (error) {
    case ENOENT:
      return FileOutcome::ok();  // gone meanwhile: the save makes it anew
    case ELOOP:
      return FileOutcome::refused(kBecameLinkReason);
    case ENXIO:
      return FileOutcome::refused(kNotRegularReason);  // a pipe without a reader
    case EWOULDBLOCK:
      return FileOutcome::refused(kLeaseReason);
    default:
      return FileOutcome::failed(error);
  }
}

// No write bit at all: its owner froze the file, and that holds even for root. Anyone else
// hears of it: their entries would otherwise vanish without a word.
FileOutcome frozenBy(const struct stat& info) {
  return info.st_uid == ::geteuid() ? FileOutcome::frozen()
                                    : FileOutcome::refused(kFrozenByOtherReason);
}

// The file as it stands, opened for writing without waiting for anything: exists says whether
// there is one, and file is valid only when the player may write it in place.
FileOutcome openExisting(const FileInFolder& at, FileDescriptor& file, struct stat& info,
                         bool& exists) {
  FileDescriptor seen;
  exists = false;
  if (FileOutcome looked = lookAt(at, seen, info); !looked || !seen.valid()) return looked;
  if (!(info.st_mode & kAnyWriteBit)) return frozenBy(info);
  FileDescriptor opened = reopen(at, seen, O_WRONLY);
  if (!opened.valid()) {
    const int error = errno;
    exists = error == EACCES || error == EPERM;  // the folder may still take a new file
    return exists ? FileOutcome::ok() : notOpened(error);
  }
  if (::fstat(opened.get(), &info) != 0) return FileOutcome::failed(errno);
  if (!(info.st_mode & kAnyWriteBit)) return frozenBy(info);
  file = std::move(opened);
  exists = true;
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

std::string temporaryNameOf(const std::string& name, uid_t player, int slot) {
  char tag[kTemporaryTagLength + 1];
  std::snprintf(tag, sizeof tag, "%08x%02x", unsigned(player), unsigned(slot) & 0xFFu);
  return name + "." + tag + kTemporarySuffix;
}

FileLock::FileLock(const FileInFolder& at) : at(at) { retake(); }

// The file is opened to read where the player may, else to write: a member of a group that may
// only write the file still locks it. Each try looks at the name again, so a waiter whose file
// was replaced meanwhile turns to the new one.
void FileLock::retake() {
  file.reset();
  why = FileOutcome::ok();
  for (int attempt = 0; attempt < kLockTries; ++attempt) {
    FileDescriptor seen;
    struct stat info {};
    if (FileOutcome looked = lookAt(at, seen, info); !looked) {
      why = looked;
      now = State::Failed;
      return;
    }
    if (!seen.valid()) {
      now = State::Missing;
      return;
    }
    FileDescriptor opened = reopen(at, seen, O_RDONLY);
    if (!opened.valid() && errno == EACCES) opened = reopen(at, seen, O_WRONLY);
    if (!opened.valid()) {
      if (errno == EACCES || errno == EPERM) {
        now = State::Lockless;  // nor can it be read or written: the save itself says why
        return;
      }
      why = notOpened(errno);
      now = why ? State::Missing : State::Failed;
      return;
    }
    if (::flock(opened.get(), LOCK_EX | LOCK_NB) == 0) {
      file = std::move(opened);
      device = info.st_dev;
      inode = info.st_ino;
      if (stillInPlace()) {
        now = State::Held;
        return;
      }
      file.reset();  // replaced while this save waited: the new file is tried at once
      continue;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      now = State::Lockless;
      return;
    }
    sharedFileLockWait();
  }
  why = FileOutcome::refused(kLockHeldReason);
  now = State::Busy;
}

bool FileLock::stillInPlace() const {
  struct stat info {};
  return file.valid() &&
         ::fstatat(at.folder.get(), at.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         info.st_dev == device && info.st_ino == inode;
}

LockWaitFunction sharedFileLockWait = pauseForLock;

namespace {
// Writes, flushes and closes the temporary; false with errno set when any of it failed.
bool fillTemporary(FileDescriptor& fresh, std::span<const uint8_t> bytes) {
  bool written = writeAll(fresh.get(), bytes) && flushed(fresh.get());
  const int error = errno;
  if (::close(fresh.release()) != 0 && written) return false;
  errno = error;
  return written;
}

// The folder's own flush, once a name in it changed.
FileOutcome flushedFolder(const FileInFolder& at) {
  const FileDescriptor listing = listable(at.folder);
  FileOutcome outcome =
      !listing.valid() || flushed(listing.get()) ? FileOutcome::ok() : FileOutcome::failed(errno);
  outcome.replaced = true;
  return outcome;
}

// A file the player may not write, replaced by one of the player's own: its group and bits where
// the player can give them, else a group folder's rule for a new file, else its bits alone.
void giveWhatCanBeGiven(int fd, const struct stat& old, const struct stat& place) {
  if (takeOverAttributes(fd, old)) return;
  if (place.st_mode & S_IWGRP)
    shareWithFoldersGroup(fd, place);
  else
    ::fchmod(fd, old.st_mode & kKeptModeBits);
}
}  // namespace

FileOutcome replaceSharedFile(const FileInFolder& at, std::span<const uint8_t> bytes,
                              const StillCurrent& stillCurrent) {
  const int folder = at.folder.get();
  struct stat place {};
  if (::fstat(folder, &place) != 0) return FileOutcome::failed(errno);
  removeStaleTemporaries(at, place);

  FileDescriptor old;
  struct stat oldInfo {};
  bool exists = false;
  if (FileOutcome opened = openExisting(at, old, oldInfo, exists); !opened) return opened;
  auto inPlaceOr = [&](int error) {
    return old.valid() ? writeInPlace(old, oldInfo, bytes, stillCurrent)
                       : FileOutcome::failed(error);
  };

  std::string temporary;
  FileDescriptor fresh = createTemporary(folder, at.name, temporary);
  if (!fresh.valid()) return inPlaceOr(errno);
  if (!exists) {
    shareWithFoldersGroup(fresh.get(), place);
  } else if (!old.valid()) {
    giveWhatCanBeGiven(fresh.get(), oldInfo, place);
  } else if (!takeOverAttributes(fresh.get(), oldInfo)) {
    fresh.reset();
    ::unlinkat(folder, temporary.c_str(), 0);
    return writeInPlace(old, oldInfo, bytes, stillCurrent);
  }

  if (!fillTemporary(fresh, bytes)) {
    const int error = errno;
    ::unlinkat(folder, temporary.c_str(), 0);
    // 94 bytes more do not fit, but the old file's own room does.
    return diskFull(error) ? inPlaceOr(error) : FileOutcome::failed(error);
  }
  if (stillCurrent && !stillCurrent()) {
    ::unlinkat(folder, temporary.c_str(), 0);
    return FileOutcome::refused(kChangedMeanwhile);
  }
  if (::renameat(folder, temporary.c_str(), folder, at.name.c_str()) == 0) return flushedFolder(at);
  const int error = errno;
  ::unlinkat(folder, temporary.c_str(), 0);
  // A sticky folder lets no one rename over another's file; the file itself may be open.
  if (exists && (error == EPERM || error == EACCES)) return inPlaceOr(error);
  return FileOutcome::failed(error);
}

FileOutcome makeSharedFile(const FileInFolder& at, std::span<const uint8_t> bytes) {
  const int folder = at.folder.get();
  struct stat place {};
  if (::fstat(folder, &place) != 0) return FileOutcome::failed(errno);
  removeStaleTemporaries(at, place);
  std::string temporary;
  FileDescriptor fresh = createTemporary(folder, at.name, temporary);
  if (!fresh.valid()) return FileOutcome::failed(errno);
  shareWithFoldersGroup(fresh.get(), place);
  if (!fillTemporary(fresh, bytes)) {
    const int error = errno;
    ::unlinkat(folder, temporary.c_str(), 0);
    return FileOutcome::failed(error);
  }
  // Only where no file stands yet; a file system without that rename takes a second link,
  // which is as sure.
  bool made =
      ::renameat2(folder, temporary.c_str(), folder, at.name.c_str(), RENAME_NOREPLACE) == 0;
  int error = errno;
  if (!made && (error == EINVAL || error == ENOSYS || error == ENOTSUP)) {
    made = ::linkat(folder, temporary.c_str(), folder, at.name.c_str(), 0) == 0;
    error = errno;
    ::unlinkat(folder, temporary.c_str(), 0);
  } else if (!made) {
    ::unlinkat(folder, temporary.c_str(), 0);
  }
  if (made) return flushedFolder(at);
  return error == EEXIST ? FileOutcome::refused(kChangedMeanwhile) : FileOutcome::failed(error);
}
