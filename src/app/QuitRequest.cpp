#include "app/QuitRequest.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t quitFlag = 0;

extern "C" void onQuitSignal(int) { quitFlag = 1; }
}  // namespace

// Allegro and SDL both hook SIGINT/SIGTERM and together can crash on them; ours replaces
// both and only raises a flag, so the program leaves through its normal shutdown. A hang-up
// (the session logged out) leaves the same way, so the scores are saved.
void installQuitHandler() {
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

bool quitRequested() { return quitFlag != 0; }
void requestQuit() { quitFlag = 1; }
void clearQuitRequest() { quitFlag = 0; }
