// Where HIGHSCORE.DAT lives: beside the program when the player can write there, else in the
// player's own data folder, starting from the table beside the program.
#pragma once
#include <string>

struct HighScoreLocation {
  std::string load;      // the table read at start
  std::string save;      // where every save goes; empty when there is nowhere to write
  std::string fallback;  // read instead of the built-in defaults after a failed load, or empty
  // The folders below this one down to save's must be the player's own; a save makes the
  // missing ones when this one is the player's too. Empty for the file beside the program.
  std::string ownBelow;
  std::string refused;  // why there is nowhere to write, when save is empty
};

// programFolder "" is the working directory; home and xdgDataHome are the environment's values,
// null when unset. Empty or relative values count as unset. Where they lead into a folder of
// another user's (root started with a player's HOME), the player's own home from the password
// database is taken instead; without one there is nowhere to write. sharedDataFolder: the folder is
// a system install's, read for the default table but never saved in, even by a player who may.
HighScoreLocation locateHighScores(const std::string& programFolder, const char* home,
                                   const char* xdgDataHome, bool sharedDataFolder);
