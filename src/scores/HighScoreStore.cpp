// The game's own load, save and reset of the player's high score file, and the entries this
// run placed that the file does not hold yet.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "InstallLayout.h"
#include "scores/HighScoreFile.h"
#include "scores/HighScoreLocation.h"
#include "scores/HighScoreTable.h"

namespace {
// Taken afresh at each start; a save before any load looks it up then.
std::optional<HighScoreLocation> chosenLocation;
std::vector<PlacedScore> unsaved;

const HighScoreLocation& location() {
  if (!chosenLocation)
    chosenLocation = locateHighScores("", std::getenv("HOME"), std::getenv("XDG_DATA_HOME"),
                                      kSharedDataFolder[0] != '\0');
  return *chosenLocation;
}

// One line per failed save; the game plays on with the table in memory.
void reportFailedSave(const std::string& path, const std::string& reason) {
  std::error_code ignored;
  const std::string shown = path.empty() ? path : std::filesystem::absolute(path, ignored).string();
  std::fprintf(stderr, "zeph: the high scores were not saved%s%s: %s\n",
               shown.empty() ? "" : " to ", shown.c_str(), reason.c_str());
}
}  // namespace

bool loadHighScores() {
  chosenLocation.reset();
  unsaved.clear();
  return loadHighScoresFrom(location().load.c_str(), highScoreTable);
}

void saveHighScores() {
  const HighScoreLocation& where = location();
  if (where.save.empty()) {
    reportFailedSave({}, where.refused);
    return;
  }
  // One walk per save; everything after it happens in the folder it reached.
  FileInFolder at;
  if (FileOutcome walked = walkToSharedFile(where.save, where.ownBelow, true, at); !walked) {
    reportFailedSave(where.save, walked.reason);
    return;
  }
  MergeOutcome saved = mergeHighScoresAt(at, highScoreTable, unsaved);
  if (saved.replaced) unsaved.clear();
  if (!saved && !saved.silent) reportFailedSave(where.save, saved.reason);
}

void resetHighScores() {
  const HighScoreLocation& where = location();
  if (where.fallback.empty() || !loadHighScoresFrom(where.fallback.c_str(), highScoreTable))
    setDefaultHighScores(highScoreTable);
  saveHighScores();
}

void recordHighScore(int mode, int rank, uint32_t score, const int16_t letters[kLetters]) {
  if (mode < 0 || mode >= kModes || rank < 0 || rank >= kRanks) return;
  placeHighScore(highScoreTable, mode, rank, score, letters);
  unsaved.push_back({mode, score, {letters[0], letters[1], letters[2]}});
  saveHighScores();
}
