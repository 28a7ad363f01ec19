// The walk from a start folder to a file: one openat(O_NOFOLLOW) per name, owners checked on
// the descriptors, trusted links followed by hand.
#include "files/FolderWalk.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string_view>
#include <utility>

namespace {
// Linux gives up on a path after 40 links; a longer chain is a loop.
constexpr int kMaxLinkHops = 40;
constexpr mode_t kPrivateFolderMode = 0700;

// Splits "a/b/c" into "a/b" and "c"; a path without a slash lies in the start folder.
struct SplitPath {
  std::string folder;
  std::string name;
};
SplitPath splitLastName(const std::string& path) {
  const std::string::size_type slash = path.find_last_of('/');
  if (slash == std::string::npos) return {std::string(1, '.'), path};
  return {slash == 0 ? std::string(1, '/') : path.substr(0, slash), path.substr(slash + 1)};
}

// A refusal naming the place; built by appending, which GCC 12 does not misread as overlapping.
FileOutcome refusedAt(const std::string& where, const char* why) {
  std::string text;
  text.reserve(where.size() + std::char_traits<char>::length(why));
  text.append(where).append(why);
  return FileOutcome::refused(std::move(text));
}

class Walk {
 public:
  Walk(WalkRules rules, std::string shownFrom) : rules(rules), shownFrom(std::move(shownFrom)) {}

  // Moves current along path; shown prefixes name the places in refusals.
  FileOutcome descend(FileDescriptor& current, std::string_view path, bool checked) {
    if (path.starts_with('/')) {
      current.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!current.valid()) return FileOutcome::failed(errno);
    }
    std::string_view::size_type at = 0;
    while (at < path.size()) {
      std::string_view::size_type end = path.find('/', at);
      if (end == std::string_view::npos) end = path.size();
      const std::string name(path.substr(at, end - at));
      const std::string shown(path.substr(0, end));
      at = end + 1;
      if (name.empty() || name == ".") continue;
      if (FileOutcome step = enter(current, name, shown, checked); !step) return step;
    }
    return FileOutcome::ok();
  }

  // Reads the link held open by link (an O_PATH descriptor of the link itself).
  FileOutcome readTrustedLink(const FileDescriptor& link, const struct stat& info,
                              const std::string& shown, std::string& target) {
    if (!trustedOwner(info.st_uid))
      return refusedAt(named(shown), " is a link that belongs to another user");
    if (++hops > kMaxLinkHops) return FileOutcome::failed(ELOOP);
    target.assign(PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(link.get(), "", target.data(), target.size());
    if (length <= 0 || std::size_t(length) >= target.size()) return FileOutcome::failed(EINVAL);
    target.resize(std::size_t(length));
    return FileOutcome::ok();
  }

 private:
  FileOutcome enter(FileDescriptor& current, const std::string& name, const std::string& shown,
                    bool checked) {
    FileDescriptor next(::openat(current.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid() && errno == ENOENT && rules.makeMissing && checked) {
      if (::mkdirat(current.get(), name.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST)
        return FileOutcome::failed(errno);
      next.reset(::openat(current.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!next.valid()) return FileOutcome::failed(errno);
    struct stat info {};
    if (::fstat(next.get(), &info) != 0) return FileOutcome::failed(errno);
    if (S_ISLNK(info.st_mode)) {
      std::string target;
      if (FileOutcome read = readTrustedLink(next, info, shown, target); !read) return read;
      // The target's own folders are the link owner's choice; the rules judge where it leads.
      if (FileOutcome followed = descend(current, target, false); !followed) return followed;
      if (::fstat(current.get(), &info) != 0) return FileOutcome::failed(errno);
    } else {
      current = std::move(next);
    }
    if (!S_ISDIR(info.st_mode)) return refusedAt(named(shown), " is not a folder");
    if (checked && rules.ownFolders && info.st_uid != ::geteuid())
      return refusedAt(named(shown), " belongs to another user");
    return FileOutcome::ok();
  }

  std::string named(const std::string& shown) const {
    if (shownFrom.empty() || shown.starts_with('/')) return shown;
    return shownFrom + (shownFrom.ends_with('/') ? "" : "/") + shown;
  }

  WalkRules rules;
  std::string shownFrom;
  int hops = 0;
};

// An absolute path never needs the start folder: it may be one the player cannot enter.
FileOutcome startAt(int from, const std::string& path, FileDescriptor& current) {
  current.reset(path.starts_with('/') ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)
                                      : ::openat(from, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  return current.valid() ? FileOutcome::ok() : FileOutcome::failed(errno);
}
}  // namespace

bool trustedOwner(uid_t owner) { return owner == ::geteuid() || owner == 0; }

FileOutcome openFolder(int from, const std::string& path, FileDescriptor& folder, WalkRules rules) {
  if (path.empty()) return FileOutcome::failed(ENOENT);
  FileDescriptor current;
  if (FileOutcome start = startAt(from, path, current); !start) return start;
  Walk walk(rules, {});
  if (FileOutcome walked = walk.descend(current, path, true); !walked) return walked;
  folder = std::move(current);
  return FileOutcome::ok();
}

FileOutcome walkToFile(int from, const std::string& path, FileInFolder& end, WalkRules rules) {
  return walkToFile(from, path, end, rules, {});
}

FileOutcome walkToFile(int from, const std::string& path, FileInFolder& end, WalkRules rules,
                       const std::string& shownFrom) {
  auto [folderPath, name] = splitLastName(path);
  if (name.empty() || name == "." || name == "..") return FileOutcome::failed(EISDIR);
  FileDescriptor current;
  if (FileOutcome start = startAt(from, path, current); !start) return start;
  Walk walk(rules, shownFrom);
  if (FileOutcome walked = walk.descend(current, folderPath, true); !walked) return walked;
  std::string shown = path;
  for (;;) {
    FileDescriptor last(::openat(current.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!last.valid() || ::fstat(last.get(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    std::string target;
    if (FileOutcome read = walk.readTrustedLink(last, info, shown, target); !read) return read;
    SplitPath next = splitLastName(target);
    folderPath = std::move(next.folder);
    name = std::move(next.name);
    if (name.empty() || name == "." || name == "..") return FileOutcome::failed(EISDIR);
    if (FileOutcome followed = walk.descend(current, folderPath, false); !followed) return followed;
    shown = target;
  }
  end.folder = std::move(current);
  end.name = std::move(name);
  return FileOutcome::ok();
}
