// Chooses the high score file for this player.
#include "scores/HighScoreLocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool folderWritable(const std::string& folder) {
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
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

  const std::string homeFolder = absoluteOrEmpty(home);
  std::string dataFolder = absoluteOrEmpty(xdgDataHome);
  // Below HOME every folder on the way must be the player's own; a data folder elsewhere must
  // be theirs too, and may be made when its parent stands.
  std::string ownBelow = parentOf(dataFolder);
  if (dataFolder.empty() && !homeFolder.empty()) {
    dataFolder = homeFolder + kDataFolderInHome;
    ownBelow = homeFolder;
  } else if (!homeFolder.empty() && isInside(dataFolder, homeFolder)) {
    ownBelow = homeFolder;
  }
  if (dataFolder.empty()) return {beside, {}, beside, {}, "no home folder (HOME is not set)"};

  const std::string own = dataFolder + kGameDataFolder + kHighScoreFile;
  if (FileOutcome folders = checkOwnFoldersFor(own, ownBelow, false); !folders)
    return {beside, {}, beside, {}, folders.reason};
  struct stat info {};
  const bool ownExists = ::stat(own.c_str(), &info) == 0;
  return {ownExists ? own : beside, own, beside, ownBelow, {}};
}
