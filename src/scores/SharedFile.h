// Writing a file on ground that other users of the machine may share: the walk to its folder,
// held open for the whole save, a lock between copies of the game, and the replace through a
// temporary file of the save's own. Nothing here opens anything that can block.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "files/FileDescriptor.h"
#include "files/FileOutcome.h"
#include "files/FolderWalk.h"

// A plain file with a write bit that this user may write. Only for choosing where the scores
// go: the save itself decides on descriptors.
bool playerMayWrite(const std::string& path);

// Walks to the folder holding the file path names (relative paths from the working folder),
// following trusted links only. With ownBelow (an absolute folder path lies in) every folder
// between it and the file must be the player's own; with makeFolders missing ones are made
// 0700, but only when ownBelow itself is the player's: no one makes folders in another's home.
FileOutcome walkToSharedFile(const std::string& path, const std::string& ownBelow, bool makeFolders,
                             FileInFolder& at);

// What the file holds now, its first into.size() bytes; got is 0 for a missing file. A file
// that is there but cannot be read (not a regular file, no permission, another program's
// lease) fails: it is not damaged, and must not be replaced by what this copy holds.
FileOutcome readSharedFile(const FileInFolder& at, std::span<uint8_t> into, std::size_t& got);

// An exclusive lock on the file's folder between copies of the game; it goes with the object
// or with a holder that dies. When it cannot be had within a second (a stuck or hostile
// holder, a folder the player may not open to read, a file system without locks) the save
// goes on without it, and then checks its own work.
class FolderLock {
 public:
  explicit FolderLock(const FileInFolder& at);
  bool held() const { return locked; }

 private:
  FileDescriptor folder;
  bool locked = false;
};

// Asked just before the new bytes take the old file's place; false drops the replace, which
// then fails with kChangedMeanwhile.
using StillCurrent = std::function<bool()>;
inline constexpr const char* kChangedMeanwhile = "another save changed the file meanwhile";

// Replaces the file with bytes through a temporary file of its own in the same folder,
// flushed and renamed over it: a crash leaves the old file or the new one. The replaced file's
// group and read/write bits are kept; a new file in a group-writable folder is the group's
// (0664, the folder's group). Where the group cannot be kept, or the folder takes no new file
// or no rename over another's file (sticky), a writable file is rewritten in place. A file the
// player froze (no write bit) is left alone silently; frozen by anyone else, it fails.
FileOutcome replaceSharedFile(const FileInFolder& at, std::span<const uint8_t> bytes,
                              const StillCurrent& stillCurrent = {});

// The flush every replace waits for (fsync); tests put a stand-in here.
using SyncFunction = int (*)(int fd);
extern SyncFunction sharedFileSync;
