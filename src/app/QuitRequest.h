// SIGINT, SIGTERM and SIGHUP only raise a flag; every screen loop then leaves through its normal
// path.
#pragma once

#include <signal.h>

void installQuitHandler();
bool quitRequested();
void requestQuit();  // what the signal handler does; tests call it directly
void clearQuitRequest();

// While one lives, this thread holds the quit signals back, and so does every thread started
// meanwhile (the sound library's, the graphics library's) for good: a quit signal then only
// ever meets our handler, never a library's half-installed one. Held signals arrive when the
// holder goes.
class QuitSignalsHeld {
 public:
  QuitSignalsHeld();
  ~QuitSignalsHeld();
  QuitSignalsHeld(const QuitSignalsHeld&) = delete;
  QuitSignalsHeld& operator=(const QuitSignalsHeld&) = delete;

 private:
  sigset_t previous;
};
