// Reaching a file one name at a time, every folder on the way held open by descriptor, so
// that no name can be swapped for a link between a check and its use. Links are read and
// followed by hand, and only when they belong to someone the player trusts.
#pragma once
#include <fcntl.h>
#include <sys/types.h>

#include <string>

#include "files/FileDescriptor.h"
#include "files/FileOutcome.h"

// Links and folders are trusted from the player (effective uid) and root, as the kernel trusts
// links in shared folders.
bool trustedOwner(uid_t owner);

struct WalkRules {
  bool ownFolders = false;   // every folder the path names must be the player's own
  bool makeMissing = false;  // missing folders are made, private to the player (0700)
};

// Opens the folder path names: from "/" when it is absolute, else from the folder from (a
// descriptor, or AT_FDCWD). Each name is opened with O_NOFOLLOW; a trusted link is read and
// its target walked in turn (a relative one from the folder that holds the link), and the rules
// apply to the folder it leads to, not to the folders its target passes through. The result
// is an O_PATH descriptor: a handle for the *at calls and fstat, reopened with
// openat(folder, ".", ...) where reading, locking or flushing needs more.
FileOutcome openFolder(int from, const std::string& path, FileDescriptor& folder,
                       WalkRules rules = {});

// Where the last name of a path leads: the folder holding it, and its name there.
struct FileInFolder {
  FileDescriptor folder;  // O_PATH, as openFolder gives it
  std::string name;
};

// Walks to the folder holding the last name of path (the rules apply to the folders path
// names) and then, while that name is a trusted link, on to where the link leads. The file
// itself may be missing; its name is never opened by this walk.
FileOutcome walkToFile(int from, const std::string& path, FileInFolder& end, WalkRules rules = {});
// The same, naming places in refusals from shownFrom, the path of the folder from: a walk that
// starts from a folder already held open still names places a player can find.
FileOutcome walkToFile(int from, const std::string& path, FileInFolder& end, WalkRules rules,
                       const std::string& shownFrom);
