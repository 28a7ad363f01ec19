#include "app/MessageBox.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace {
// Runs xmessage and waits for the player to press OK; false when no dialog could be shown.
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
  while (waitpid(pid, &status, 0) == -1) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 101;
}
}  // namespace

void showMessageBox(const char* text, const char* title) {
  std::fprintf(stderr, "%s: %s\n", title, text);
  runXmessage(text, title);
}
