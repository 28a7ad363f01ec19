#include "app/QuitRequest.h"

#include <pthread.h>

#include <atomic>
#include <csignal>

namespace {
// A quit signal may land on any thread (the sound watcher's threads take them), and the flag is
// read on the main thread: a lock-free atomic is both safe in a handler and shared properly.
std::atomic<bool> quitFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the quit flag must be safe in a handler");
constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onQuitSignal(int) { quitFlag.store(true); }
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

bool quitRequested() { return quitFlag.load(); }
void requestQuit() { quitFlag.store(true); }
void clearQuitRequest() { quitFlag.store(false); }
