// The one way tests run code as another user of the machine (uid/gid 65534 when the tests run
// as root), so permission checks really apply.
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

inline constexpr uid_t kOrdinaryId = 65534;

// A user of the machine as a test plays them: ids need no entry in /etc/passwd.
struct TestUser {
  uid_t uid;
  gid_t gid;
  std::vector<gid_t> groups;  // supplementary groups
};
inline const TestUser kPlayer{kOrdinaryId, kOrdinaryId, {}};

// Turns this process into the user (in a child of the test); true when already an ordinary one.
bool becomeUser(const TestUser& user);

// Runs body in a forked child as the user and returns what it reported; a child that cannot
// become the user or dies says so instead. Only root can become another user: otherwise body
// runs as the current one.
std::string asUser(const TestUser& user, const std::function<std::string()>& body);
std::string asOrdinaryUser(const std::function<std::string()>& body);

// Writes all of text to fd (a pipe back to the test), as far as it takes it.
void writeAll(int fd, const std::string& text);
