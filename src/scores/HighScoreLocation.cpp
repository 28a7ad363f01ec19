// Chooses the high score file for this player and runs the game's load, save and reset on it.
#include "scores/HighScoreLocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "InstallLayout.h"
#include "scores/HighScoreTable.h"

namespace {
constexpr mode_t kPrivateFolderMode = 0700;
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
  return path == folder || path.starts_with(folder + "/");
}

bool folderWritable(const std::string& folder) {
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Taken afresh at each start; a save before any load looks it up then.
std::optional<HighScoreLocation> chosenLocation;

const HighScoreLocation& location() {
  if (!chosenLocation)
    chosenLocation = locateHighScores("", std::getenv("HOME"), std::getenv("XDG_DATA_HOME"),
                                      kSharedDataFolder[0] != '\0');
  return *chosenLocation;
}
}  // namespace

bool playerMayWrite(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) &&
         ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

HighScoreLocation locateHighScores(const std::string& programFolder, const char* home,
                                   const char* xdgDataHome, bool sharedDataFolder) {
  std::string beside = kHighScoreFile;
  if (!programFolder.empty())
    beside = programFolder + (programFolder.back() == '/' ? "" : "/") + kHighScoreFile;
  if (!sharedDataFolder &&
      (playerMayWrite(beside) || folderWritable(programFolder.empty() ? "." : programFolder)))
    return {beside, beside, {}, {}};

  const std::string homeFolder = absoluteOrEmpty(home);
  std::string dataFolder = absoluteOrEmpty(xdgDataHome);
  // Only folders below HOME are made, and only the game's own one in a data folder elsewhere.
  std::string base = dataFolder;
  if (dataFolder.empty() && !homeFolder.empty()) {
    dataFolder = homeFolder + kDataFolderInHome;
    base = homeFolder;
  } else if (!homeFolder.empty() && isInside(dataFolder, homeFolder)) {
    base = homeFolder;
  }
  if (dataFolder.empty()) return {beside, {}, beside, {}};

  const std::string own = dataFolder + kGameDataFolder + kHighScoreFile;
  struct stat info {};
  const bool ownExists = ::stat(own.c_str(), &info) == 0;
  return {ownExists ? own : beside, own, beside, base};
}

bool makeFoldersFor(const std::string& file, const std::string& base) {
  std::string::size_type end = file.find_last_of('/');
  if (end == std::string::npos || !isInside(file.substr(0, end), base)) return true;
  for (std::string::size_type slash = file.find('/', base.size() + 1); slash <= end;
       slash = file.find('/', slash + 1)) {
    const std::string folder = file.substr(0, slash);
    if (::mkdir(folder.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool loadHighScores() {
  chosenLocation.reset();
  return loadHighScoresFrom(location().load.c_str(), highScoreTable);
}

// Reports nothing: a failed save keeps the old file and the table in memory.
void saveHighScores() {
  const HighScoreLocation& where = location();
  if (where.save.empty()) return;
  if (!where.createBelow.empty() && !makeFoldersFor(where.save, where.createBelow)) return;
  saveHighScoresTo(where.save.c_str(), highScoreTable);
}

void resetHighScores() {
  const HighScoreLocation& where = location();
  if (where.fallback.empty() || !loadHighScoresFrom(where.fallback.c_str(), highScoreTable))
    setDefaultHighScores(highScoreTable);
  saveHighScores();
}
