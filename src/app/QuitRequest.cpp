#include "app/QuitRequest.h"

#include <pthread.h>

#include <csignal>

namespace {
volatile std::sig_atomic_t quitFlag = 0;
constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onQuitSignal(int) { quitFlag = 1; }
}  // namespace

// Allegro and SDL both hook SIGINT/SIGTERM and together can crash on them; ours replaces
// both and only raises a flag, so the program leaves through its normal shutdown. A hang-up
// (the session logged out) leaves the same way, so the scores are saved.
void installQuitHandler() {
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kQuitSignals) sigaction(signal, &action, nullptr);
}

QuitSignalsHeld::QuitSignalsHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (int signal : kQuitSignals) sigaddset(&held, signal);
  pthread_sigmask(SIG_BLOCK, &held, &previous);
}

QuitSignalsHeld::~QuitSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

bool quitRequested() { return quitFlag != 0; }
void requestQuit() { quitFlag = 1; }
void clearQuitRequest() { quitFlag = 0; }
