// Where HIGHSCORE.DAT lives: beside the program when the player can write there, else in the
// player's own data folder, starting from the table beside the program.
#pragma once
#include <string>

struct HighScoreLocation {
  std::string load;         // the table read at start
  std::string save;         // where every save goes; empty when there is nowhere to write
  std::string fallback;     // read instead of the built-in defaults after a failed load, or empty
  std::string createBelow;  // a save makes the missing folders below this one, never it, or empty
};

// programFolder "" is the working directory; home and xdgDataHome are the environment's values,
// null when unset. Empty or relative values count as unset. sharedDataFolder: the folder is a
// system install's, read for the default table but never saved in, even by a player who may.
HighScoreLocation locateHighScores(const std::string& programFolder, const char* home,
                                   const char* xdgDataHome, bool sharedDataFolder);

// Makes the missing folders between base (which must exist) and the folder holding file, each
// private to the player (0700). False when one cannot be made.
bool makeFoldersFor(const std::string& file, const std::string& base);

// A plain file with a write bit that this user may write. A file without any write bit was
// frozen by its owner and counts as read-only even for root.
bool playerMayWrite(const std::string& path);
