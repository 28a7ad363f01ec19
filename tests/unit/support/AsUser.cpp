#include "support/AsUser.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote <= 0) return;
    done += std::size_t(wrote);
  }
}

bool becomeUser(const TestUser& user) {
  if (::geteuid() != 0) return true;  // already an ordinary user
  return ::setgroups(user.groups.size(), user.groups.data()) == 0 &&
         ::setresgid(user.gid, user.gid, user.gid) == 0 &&
         ::setresuid(user.uid, user.uid, user.uid) == 0;
}

std::string asOrdinaryUser(const std::function<std::string()>& body) {
  return asUser(kPlayer, body);
}

std::string asUser(const TestUser& user, const std::function<std::string()>& body) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return "no pipe";
  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child < 0) return "no fork";
  if (child == 0) {
    ::close(pipeEnds[0]);
    if (!becomeUser(user)) {
      writeAll(pipeEnds[1], "cannot become user " + std::to_string(user.uid));
      ::_exit(1);
    }
    writeAll(pipeEnds[1], body());
    ::_exit(0);
  }
  ::close(pipeEnds[1]);
  std::string report;
  char buffer[512];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    report.append(buffer, std::size_t(got));
  }
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return "child failed (status " + std::to_string(status) + "): " + report;
  return report;
}
