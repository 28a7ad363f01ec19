// What became of a step on a file or folder, with a reason a player can read when it failed:
// the system's error text, or our own words for a refusal.
#pragma once
#include <string>

struct FileOutcome {
  bool done = false;
  bool replaced = false;  // a save's new bytes are in place, even when their flush then failed
  bool silent = false;    // a refusal the player asked for (a frozen file): no line for it
  std::string reason;
  int error = 0;  // the errno value behind a failure, 0 for our own refusals

  explicit operator bool() const { return done; }
  static FileOutcome ok();
  static FileOutcome failed(int error);  // the system's text for errno value error
  static FileOutcome refused(std::string why);
  static FileOutcome frozen();
};
