// Writing a file on ground that other users of the machine may share: the walk to its folder,
// held open for the whole save, a lock on the file between copies of the game, and the replace
// through a temporary file of the save's own. Nothing here opens anything that can block.
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

// An exclusive lock between copies of the game, taken on the score file itself: every player
// who may write the file can open it (to read, or only to write), whatever the folder lets them
// list. A save replaces the file by renaming another over it, so the lock stands for the file
// only while that file is still in place: it is checked once taken, and a waiter that wakes on a
// replaced file takes the new one. It goes with the object or with a holder that dies.
class FileLock {
 public:
  enum class State {
    Held,
    Missing,   // no file to lock: the first one is made with makeSharedFile, then locked
    Lockless,  // no one can lock this file (a file system without locks, a file the player
               // may not open): a save may go on, but never knows what it wrote stays
    Busy,      // held by another for longer than any save takes: a stuck or hostile holder
    Failed,    // the name is no file to save (a pipe, a lease, a folder): outcome says why
  };

  // Tries for about a second, looking again at the name between tries.
  explicit FileLock(const FileInFolder& at);
  // Lets go of the file and takes whatever file is in place now.
  void retake();
  State state() const { return now; }
  bool held() const { return now == State::Held; }
  // Why it is not held, for Busy and Failed.
  const FileOutcome& outcome() const { return why; }
  // True while the locked file is the one the name stands for.
  bool stillInPlace() const;

 private:
  const FileInFolder& at;
  FileDescriptor file;
  dev_t device = 0;
  ino_t inode = 0;
  State now = State::Missing;
  FileOutcome why;
};
inline constexpr const char* kLockHeldReason =
    "another program holds the file's lock: try again later";

// Called between tries while another holds the lock (a short sleep); tests put a stand-in here.
using LockWaitFunction = void (*)();
extern LockWaitFunction sharedFileLockWait;

// Asked just before the new bytes take the old file's place; false drops the replace, which
// then fails with kChangedMeanwhile.
using StillCurrent = std::function<bool()>;
inline constexpr const char* kChangedMeanwhile = "another save changed the file meanwhile";

// Replaces the file with bytes through a temporary file of its own in the same folder,
// flushed and renamed over it: a crash leaves the old file or the new one. The replaced file's
// group and read/write bits are kept; a new file in a group-writable folder is the group's
// (0664, the folder's group). Where the group cannot be kept, or the folder takes no new file
// (not even 94 bytes more on a full disk) or no rename over another's file (sticky), a writable
// file is rewritten in place; a file the player may not write is replaced by rename where the
// folder allows it, with the group and bits the player can give. A file the player froze (no
// write bit) is left alone silently; frozen by anyone else, it fails.
FileOutcome replaceSharedFile(const FileInFolder& at, std::span<const uint8_t> bytes,
                              const StillCurrent& stillCurrent = {});

// Makes the first file with bytes where there is none: a file another save made first is never
// replaced (that fails with kChangedMeanwhile), so two first saves cannot undo each other.
FileOutcome makeSharedFile(const FileInFolder& at, std::span<const uint8_t> bytes);

// The names of a player's temporary files beside the file name: the player's uid and one of a
// few slots, so a save needs to look at no name but its own (a sticky folder may hold any number
// of names planted by others, which no one but their owner may remove).
inline constexpr int kTemporarySlots = 8;
std::string temporaryNameOf(const std::string& name, uid_t player, int slot);

// The flush every replace waits for (fsync); tests put a stand-in here.
using SyncFunction = int (*)(int fd);
extern SyncFunction sharedFileSync;
