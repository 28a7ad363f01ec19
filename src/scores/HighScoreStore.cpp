// The game's own load, save and reset of the player's high score file, and the entries this
// run placed that the file does not surely hold yet.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "InstallLayout.h"
#include "files/ReadFile.h"
#include "scores/HighScoreFile.h"
#include "scores/HighScoreLocation.h"
#include "scores/HighScoreTable.h"
#include "scores/KeptScores.h"

namespace {
// Taken afresh at each start; a save before any load looks it up then.
std::optional<HighScoreLocation> chosenLocation;
// This run's entries and those kept by earlier runs, until a save is sure of them.
std::vector<PlacedScore> unsaved;
// The first this many of them went to an earlier save (or were kept by an earlier run), so the
// file may hold them already; the rest are new since.
std::size_t offered = 0;
// A kept-scores file may hold entries: a sure save then clears out what it took.
bool keptMayExist = false;
// The start's walk reached the save's folder: saves stay in it. A save before any load walks
// afresh each time, from wherever the program then is.
bool folderHeld = false;

HighScoreLocation& location() {
  if (!chosenLocation)
    chosenLocation = locateHighScores("", std::getenv("HOME"), std::getenv("XDG_DATA_HOME"),
                                      kSharedDataFolder[0] != '\0');
  return *chosenLocation;
}

std::string shown(const std::string& path) {
  std::error_code ignored;
  return path.empty() ? path : std::filesystem::absolute(path, ignored).string();
}

std::string entriesText(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " new entry" : " new entries");
}

// One line per failed save; the game plays on with the table in memory.
void reportFailedSave(const std::string& path, const std::string& reason) {
  const std::string place = shown(path);
  std::fprintf(stderr, "zeph: the high scores were not saved%s%s: %s\n",
               place.empty() ? "" : " to ", place.c_str(), reason.c_str());
}

std::string folderOf(const std::string& path) { return path.substr(0, path.find_last_of('/') + 1); }

// Puts the entries no save is sure of into the player's own data folder, and says where.
std::string keepUnsaved(const HighScoreLocation& where) {
  if (unsaved.empty() || where.keep.empty()) return {};
  const std::string count = entriesText(unsaved.size());
  FileInFolder at;
  FileOutcome kept = walkToSharedFile(where.keep, where.keepOwnBelow, true, at);
  if (kept) kept = keepScores(at, unsaved);
  if (!kept)
    return count + " could not be kept in " + shown(where.keep) + " either: " + kept.reason;
  keptMayExist = true;
  return count + (unsaved.size() == 1 ? " is" : " are") + " kept in " + shown(where.keep) +
         " until a save can take " + (unsaved.size() == 1 ? "it" : "them");
}

// The entries to place: every new one, and those an earlier save may have put in already
// only when the file lacks them, since placing one it holds would list it twice.
std::vector<PlacedScore> notYetIn(const FileInFolder& at) {
  const std::span<const PlacedScore> earlier(unsaved.data(), offered);
  HighScoreBytes bytes{};
  std::size_t got = 0;
  HighScoreTable onDisk{};
  std::vector<PlacedScore> toPlace(earlier.begin(), earlier.end());
  if (readSharedFile(at, bytes, got) && decodeHighScores(bytes.data(), got, onDisk))
    toPlace = missingEntries(onDisk, earlier);
  toPlace.insert(toPlace.end(), unsaved.begin() + std::ptrdiff_t(offered), unsaved.end());
  return toPlace;
}

void takeKeptEntries(const HighScoreLocation& where) {
  FileInFolder at;
  std::vector<PlacedScore> kept;
  if (where.keep.empty() || !walkToSharedFile(where.keep, where.keepOwnBelow, false, at)) return;
  if (FileOutcome read = readKeptScores(at, kept); !read) {
    if (read.reason != kMissingReason)
      std::fprintf(stderr, "zeph: the kept high score entries in %s could not be read: %s\n",
                   shown(where.keep).c_str(), read.reason.c_str());
    keptMayExist = true;
    return;
  }
  keptMayExist = !kept.empty();
  placeMissing(highScoreTable, kept);
  unsaved.insert(unsaved.end(), kept.begin(), kept.end());
  offered = unsaved.size();
}
}  // namespace

bool loadHighScores() {
  chosenLocation.reset();
  unsaved.clear();
  offered = 0;
  keptMayExist = false;
  const HighScoreLocation& where = location();
  folderHeld = true;
  FileOutcome loaded = loadHighScoresAt(where, highScoreTable);
  // A missing file is every first start's: the box and the reset that follow say enough.
  if (!loaded && loaded.reason != kMissingReason)
    std::fprintf(stderr, "zeph: the high scores could not be loaded from %s: %s\n",
                 shown(where.load).c_str(), loaded.reason.c_str());
  takeKeptEntries(where);
  return bool(loaded);
}

void saveHighScores() {
  HighScoreLocation& where = location();
  if (where.save.empty()) {
    reportFailedSave({}, where.refused);
    return;
  }
  // The folder the start reached; one still to be made is walked to, and made, once.
  if (!folderHeld || !where.saveAt.folder.valid()) {
    FileInFolder at;
    if (FileOutcome walked = walkToSharedFile(where.save, where.ownBelow, true, at); !walked) {
      // Kept elsewhere only: the folder that failed is where they would be kept.
      const std::string kept =
          folderOf(where.keep) == folderOf(where.save) ? std::string() : keepUnsaved(where);
      reportFailedSave(where.save, walked.reason + (kept.empty() ? "" : "; " + kept));
      return;
    }
    where.saveAt = std::move(at);
  }
  MergeOutcome saved = mergeHighScoresAt(where.saveAt, highScoreTable, notYetIn(where.saveAt));
  offered = unsaved.size();
  if (saved.entriesSure && missingEntries(highScoreTable, unsaved).empty()) {
    unsaved.clear();
    offered = 0;
    if (keptMayExist) {
      FileInFolder at;
      if (walkToSharedFile(where.keep, where.keepOwnBelow, false, at) &&
          releaseKeptScores(at, highScoreTable))
        keptMayExist = false;
    }
    return;
  }
  if (saved.silent) return;  // the player froze their own file: their choice, kept as it is
  const std::string kept = keepUnsaved(where);
  if (!saved)
    reportFailedSave(where.save, saved.reason + (kept.empty() ? "" : "; " + kept));
  else if (!kept.empty())
    std::fprintf(stderr,
                 "zeph: the high scores were saved to %s, but another save may replace "
                 "them unseen; %s\n",
                 shown(where.save).c_str(), kept.c_str());
}

void resetHighScores() {
  const HighScoreLocation& where = location();
  if (where.fallback.empty() || !loadHighScoresFrom(where.fallback.c_str(), highScoreTable))
    setDefaultHighScores(highScoreTable);
  placeMissing(highScoreTable, unsaved);
  saveHighScores();
}

void recordHighScore(int mode, int rank, uint32_t score, const int16_t letters[kLetters]) {
  if (mode < 0 || mode >= kModes || rank < 0 || rank >= kRanks) return;
  placeHighScore(highScoreTable, mode, rank, score, letters);
  unsaved.push_back({mode, score, {letters[0], letters[1], letters[2]}});
  saveHighScores();
}
