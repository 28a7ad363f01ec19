#include "app/MessageBox.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/QuitRequest.h"

extern char** environ;

namespace {
constexpr long kQuitCheckNanoseconds = 20'000'000;

// Runs xmessage and waits for the player to press OK, or for a quit signal, which closes the
// box too; false when no dialog could be shown.
bool runXmessage(const char* text, const char* title) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return false;
  const char* argv[] = {"xmessage", "-title", title,     "-buttons", "OK:101",
                        "-default", "OK",     "-center", text,       nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xmessage", nullptr, nullptr, const_cast<char* const*>(argv), environ) !=
      0)
    return false;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return false;
    if (quitRequested()) {
      kill(pid, SIGTERM);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return false;
    }
    timespec pause{0, kQuitCheckNanoseconds};
    nanosleep(&pause, nullptr);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 101;
}
}  // namespace

void showMessageBox(const char* text, const char* title) {
  std::fprintf(stderr, "%s: %s\n", title, text);
  runXmessage(text, title);
}
