// The default high score file that the build and every install put beside the program, so the
// first start finds valid tables; made by the game's own table code.
#include <sys/stat.h>

#include "Desktop.h"
#include "scores/HighScoreFile.h"

bool writeDefaultHighScores(const std::string& path, bool keepExisting) {
  struct stat existing;
  if (keepExisting && ::lstat(path.c_str(), &existing) == 0) return true;
  HighScoreTable table{};
  setDefaultHighScores(table);
  return bool(saveHighScoresTo(path.c_str(), table));
}
