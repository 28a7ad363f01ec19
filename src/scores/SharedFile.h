// Writing a file on ground that other users of the machine may share: which links are trusted,
// folders that must be the player's own, a lock between copies of the game, and the replace
// through a temporary file of the save's own.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "files/FileOutcome.h"
#include "files/FolderWalk.h"

// Turns path into the file it leads to through a chain of trusted links (relative targets
// taken from the folder of the link that names them). A missing end is fine; a link of
// anyone else, a loop or a chain too long is refused.
FileOutcome followTrustedLinks(std::string& path);

// The folders between base (not included) and the folder holding file must be real folders
// of the player's own, reached through trusted links only. With make, missing ones are made
// private to the player (0700); without, missing ones are fine.
FileOutcome checkOwnFoldersFor(const std::string& file, const std::string& base, bool make);

// A plain file with a write bit that this user may write. A file without any write bit was
// frozen by its owner and counts as read-only even for root.
bool playerMayWrite(const std::string& path);

// Up to into.size() bytes of a plain file, through trusted links only and without blocking
// (a pipe or a device of that name reads nothing). Returns the number of bytes read.
std::size_t readSharedFile(const std::string& path, std::span<uint8_t> into);

// An exclusive lock on the folder holding a file, between copies of the game; it goes with
// the object or with a holder that dies. When it cannot be had within a short time (a stuck
// holder, a file system without locks) the save goes on without it.
class FolderLock {
 public:
  explicit FolderLock(const std::string& file);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held() const { return locked; }

 private:
  int folder = -1;
  bool locked = false;
};

// Replaces the file at path (already past its links) with bytes, through a temporary file of
// its own beside it, flushed and renamed over it: a crash leaves the old file or the new one.
// The replaced file's group and read/write bits are kept; where the group cannot be kept, or
// the folder takes no new file, a writable file is rewritten in place instead.
FileOutcome replaceSharedFile(const std::string& path, std::span<const uint8_t> bytes);

// The flush every replace waits for (fsync); tests put a stand-in here.
using SyncFunction = int (*)(int fd);
extern SyncFunction sharedFileSync;
