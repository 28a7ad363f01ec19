// Where HIGHSCORE.DAT lives: beside the program when the player can write there, else in the
// player's own data folder, starting from the table beside the program.
#pragma once
#include <string>

#include "files/FileOutcome.h"
#include "files/FolderWalk.h"
#include "scores/HighScoreTable.h"

struct HighScoreLocation {
  std::string load;      // the table read at start
  std::string save;      // where every save goes; empty when there is nowhere to write
  std::string fallback;  // read instead of the built-in defaults after a failed load, or empty
  // The folders below this one down to save's must be the player's own; a save makes the
  // missing ones when this one is the player's too. Empty for the file beside the program.
  std::string ownBelow;
  std::string refused;  // why there is nowhere to write, when save is empty
  // The file entries a save cannot be sure of wait in, in the player's own data folder (by
  // keepOwnBelow's rules); empty when the player has none.
  std::string keep;
  std::string keepOwnBelow;
  // save's folder as the locating walk reached it, rules and all: the load reads through it
  // and every save writes in it. Not valid while the folder is still to be made.
  FileInFolder saveAt;
};

// programFolder "" is the working directory; home and xdgDataHome are the environment's values,
// null when unset. Empty or relative values count as unset. Folders are used only where no
// folder above them belongs to another user: where HOME or XDG_DATA_HOME lead into another
// user's tree (root started with a player's HOME), cannot be opened or are unset, the player's
// own home from the password database is taken instead; without one there is nowhere to write.
// Root saves beside the program only in a folder of its own. sharedDataFolder: the folder is a
// system install's, read for the default table but never saved in, even by a player who may.
HighScoreLocation locateHighScores(const std::string& programFolder, const char* home,
                                   const char* xdgDataHome, bool sharedDataFolder);

// The table at where.load: the file saveAt holds when load is save, else the one beside the
// program. Fails when it cannot be read or is damaged; table changes only on success.
FileOutcome loadHighScoresAt(const HighScoreLocation& where, HighScoreTable& table);

// The home folder the password database gives the player (effective uid), or "". Tests put a
// stand-in here.
using HomeLookup = std::string (*)();
extern HomeLookup passwordDatabaseHome;
