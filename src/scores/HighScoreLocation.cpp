// Chooses the high score file for this player.
#include "scores/HighScoreLocation.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "scores/HighScoreTable.h"
#include "scores/SharedFile.h"

namespace {
constexpr const char* kDataFolderInHome = "/.local/share";
constexpr const char* kGameDataFolder = "/zeph/";

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

enum class Owner { Player, Another, Unreachable };

// Who owns the folder the walk from its path leads to.
Owner ownerOf(const std::string& folder) {
  FileDescriptor opened;
  struct stat info {};
  if (!openFolder(AT_FDCWD, folder, opened) || ::fstat(opened.get(), &info) != 0)
    return Owner::Unreachable;
  return info.st_uid == ::geteuid() ? Owner::Player : Owner::Another;
}

// Root (or anyone) playing with HOME at another user's home would make folders there that its
// owner could no longer use: the player's own home from the password database is used instead.
DataFolder fromPasswordDatabase() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return {};
  const std::string home = absoluteOrEmpty(found->pw_dir);
  if (home.empty() || ownerOf(home) != Owner::Player) return {};
  return {joined(home, kDataFolderInHome), home, {}};
}

// Folders are made only below a folder of the player's own; a data folder of their own is
// used wherever it stands.
DataFolder chooseDataFolder(const char* home, const char* xdgDataHome) {
  DataFolder data = fromEnvironment(home, xdgDataHome);
  if (data.folder.empty() || ownerOf(data.ownBelow) != Owner::Another) return data;
  if (ownerOf(data.folder) == Owner::Player) {
    data.ownBelow = data.folder;
    return data;
  }
  DataFolder own = fromPasswordDatabase();
  if (!own.folder.empty() && own.ownBelow != data.ownBelow) return own;
  data.refused =
      data.ownBelow + " belongs to another user, and the player has no home folder of their own";
  data.folder.clear();
  return data;
}
}  // namespace

HighScoreLocation locateHighScores(const std::string& programFolder, const char* home,
                                   const char* xdgDataHome, bool sharedDataFolder) {
  std::string beside = kHighScoreFile;
  if (!programFolder.empty())
    beside = programFolder + (programFolder.back() == '/' ? "" : "/") + kHighScoreFile;
  if (!sharedDataFolder &&
      (playerMayWrite(beside) || folderWritable(programFolder.empty() ? "." : programFolder)))
    return {beside, beside, {}, {}, {}};

  const DataFolder data = chooseDataFolder(home, xdgDataHome);
  if (data.folder.empty()) return {beside, {}, beside, {}, data.refused};

  // Found by the walk a save takes, without making anything yet: missing folders are fine.
  const std::string own = data.folder + kGameDataFolder + kHighScoreFile;
  FileInFolder at;
  FileOutcome walked = walkToSharedFile(own, data.ownBelow, false, at);
  if (!walked && walked.error != ENOENT) return {beside, {}, beside, {}, walked.reason};
  struct stat info {};
  const bool ownExists =
      walked && ::fstatat(at.folder.get(), at.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
  return {ownExists ? own : beside, own, beside, data.ownBelow, {}};
}
