// Chooses the high score file for this player, and reads the table through the walk that
// chose it.
#include "scores/HighScoreLocation.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "files/ReadFile.h"
#include "scores/HighScoreFile.h"
#include "scores/KeptScores.h"
#include "scores/SharedFile.h"

namespace {
constexpr const char* kDataFolderInHome = "/.local/share";
constexpr const char* kGameDataFolder = "/zeph/";
// Deeper than any real path: a chain of ".." this long has lost its way.
constexpr int kMostFoldersUp = 4096;

// An absolute path without trailing slashes, or "" for a value that is missing or relative.
std::string absoluteOrEmpty(const char* value) {
  if (value == nullptr || value[0] != '/') return {};
  std::string path(value);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool isInside(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.starts_with("/");
  return path == folder || path.starts_with(folder + "/");
}

std::string parentOf(const std::string& folder) {
  std::string::size_type slash = folder.find_last_of('/');
  return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

// "/" and a name make "/name", not "//name".
std::string joined(const std::string& folder, const std::string& rest) {
  return (folder == "/" ? std::string() : folder) + rest;
}

bool folderWritable(const std::string& folder) {
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Every folder above this one, as the kernel reaches them (links already resolved), belongs to
// the player or root: no one else can swap anything on the way to it.
bool trustedAbove(const FileDescriptor& folder) {
  struct stat below {};
  if (::fstat(folder.get(), &below) != 0) return false;
  FileDescriptor current(::openat(folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
  for (int up = 0; up < kMostFoldersUp && current.valid(); ++up) {
    struct stat info {};
    if (::fstat(current.get(), &info) != 0) return false;
    if (info.st_dev == below.st_dev && info.st_ino == below.st_ino) return true;  // "/"
    if (!trustedOwner(info.st_uid)) return false;
    below = info;
    current.reset(::openat(current.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
  }
  return false;
}

enum class Tree { Own, Another, Unreachable };

// Whether the folder the walk from its path leads to may hold the player's folders: theirs, in
// a tree no other user can rearrange.
Tree treeOf(const std::string& folder, std::string* why = nullptr) {
  FileDescriptor opened;
  struct stat info {};
  if (FileOutcome walked = openFolder(AT_FDCWD, folder, opened); !walked) {
    if (why) *why = walked.reason;
    return Tree::Unreachable;
  }
  if (::fstat(opened.get(), &info) != 0) return Tree::Unreachable;
  return info.st_uid == ::geteuid() && trustedAbove(opened) ? Tree::Own : Tree::Another;
}

// The player's data folder, and the folder below which every folder on the way must be theirs.
struct DataFolder {
  std::string folder;
  std::string ownBelow;
  std::string refused;  // why there is none
};

DataFolder fromEnvironment(const char* home, const char* xdgDataHome) {
  const std::string homeFolder = absoluteOrEmpty(home);
  DataFolder data{absoluteOrEmpty(xdgDataHome), {}, {}};
  // A data folder outside HOME must be theirs too, and may be made where its parent stands.
  data.ownBelow = parentOf(data.folder);
  if (data.folder.empty() && !homeFolder.empty()) {
    data.folder = joined(homeFolder, kDataFolderInHome);
    data.ownBelow = homeFolder;
  } else if (!homeFolder.empty() && isInside(data.folder, homeFolder)) {
    data.ownBelow = homeFolder;
  }
  if (data.folder.empty()) {
    data.refused = home == nullptr || home[0] == '\0'
                       ? "no home folder (HOME is not set)"
                       : std::string("no home folder (HOME is not an absolute path: ") + home + ")";
  }
  return data;
}

std::string homeFromPasswordDatabase() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return {};
  return found->pw_dir ? found->pw_dir : "";
}

// Root (or anyone) playing with HOME at another user's home would make folders there that its
// owner could no longer use: the player's own home from the password database is used instead.
DataFolder fromPasswordDatabase() {
  const std::string home = absoluteOrEmpty(passwordDatabaseHome().c_str());
  if (home.empty() || treeOf(home) != Tree::Own) return {};
  return {joined(home, kDataFolderInHome), home, {}};
}

// Folders are made only below a folder of the player's own in a tree no one else can change;
// a data folder of their own in such a tree is used wherever it stands.
DataFolder chooseDataFolder(const char* home, const char* xdgDataHome) {
  DataFolder data = fromEnvironment(home, xdgDataHome);
  std::string why;
  if (!data.folder.empty()) {
    const Tree start = treeOf(data.ownBelow, &why);
    if (start == Tree::Own) return data;
    if (treeOf(data.folder) == Tree::Own) {
      data.ownBelow = data.folder;
      return data;
    }
    data.refused = start == Tree::Another ? data.ownBelow + " belongs to another user"
                                          : data.ownBelow + " cannot be opened (" + why + ")";
  }
  DataFolder own = fromPasswordDatabase();
  if (!own.folder.empty() && own.ownBelow != data.ownBelow) return own;
  if (!data.folder.empty()) data.refused += ", and the player has no home folder of their own";
  data.folder.clear();
  return data;
}

// Root's writes pass every permission, so it saves beside the program only where the folder,
// and every folder above it, is root's: never in another user's install.
bool rootMaySaveIn(const std::string& programFolder) {
  if (::geteuid() != 0) return true;
  return treeOf(programFolder.empty() ? "." : programFolder) == Tree::Own;
}

FileOutcome leaseNamed(FileOutcome read) {
  if (read.error == EWOULDBLOCK)
    return FileOutcome::refused("another program holds the file (a lease)");
  return read;
}
}  // namespace

HomeLookup passwordDatabaseHome = homeFromPasswordDatabase;

HighScoreLocation locateHighScores(const std::string& programFolder, const char* home,
                                   const char* xdgDataHome, bool sharedDataFolder) {
  std::string beside = kHighScoreFile;
  if (!programFolder.empty())
    beside = programFolder + (programFolder.back() == '/' ? "" : "/") + kHighScoreFile;
  const DataFolder data = chooseDataFolder(home, xdgDataHome);
  const std::string keep =
      data.folder.empty() ? std::string() : data.folder + kGameDataFolder + kKeptScoresFile;

  HighScoreLocation where;
  where.fallback = beside;
  if (!sharedDataFolder &&
      (playerMayWrite(beside) || folderWritable(programFolder.empty() ? "." : programFolder)) &&
      rootMaySaveIn(programFolder)) {
    where = {beside, beside, {}, {}, {}, keep, data.ownBelow, {}};
    // A folder that cannot be walked to now is walked to again, and refused, by each save.
    walkToSharedFile(beside, {}, false, where.saveAt);
    return where;
  }
  where.load = beside;
  if (data.folder.empty()) {
    where.refused = data.refused;
    return where;
  }

  // Found by the walk a save takes, without making anything yet: missing folders are fine.
  const std::string own = data.folder + kGameDataFolder + kHighScoreFile;
  FileOutcome walked = walkToSharedFile(own, data.ownBelow, false, where.saveAt);
  if (!walked && walked.error != ENOENT) {
    where.refused = walked.reason;
    return where;
  }
  struct stat info {};
  const bool ownExists = walked && ::fstatat(where.saveAt.folder.get(), where.saveAt.name.c_str(),
                                             &info, AT_SYMLINK_NOFOLLOW) == 0;
  where.load = ownExists ? own : beside;
  where.save = own;
  where.ownBelow = data.ownBelow;
  where.keep = keep;
  where.keepOwnBelow = data.ownBelow;
  return where;
}

FileOutcome loadHighScoresAt(const HighScoreLocation& where, HighScoreTable& table) {
  const FileInFolder* at = &where.saveAt;
  FileInFolder walked;
  if (where.load != where.save || !where.saveAt.folder.valid()) {
    FileOutcome reached = where.load == where.save
                              ? walkToSharedFile(where.save, where.ownBelow, false, walked)
                              : walkToFile(AT_FDCWD, where.load, walked);
    if (!reached) return reached.error == ENOENT ? FileOutcome::refused(kMissingReason) : reached;
    at = &walked;
  }
  HighScoreBytes bytes{};
  std::size_t got = 0;
  if (FileOutcome read = readFileStart(*at, bytes, got); !read) return leaseNamed(read);
  if (!decodeHighScores(bytes.data(), got, table))
    return FileOutcome::refused(got < bytes.size() ? "damaged (too short)"
                                                   : "damaged (its checksum does not match)");
  return FileOutcome::ok();
}
