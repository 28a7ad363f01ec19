// Every file the game reads is opened here.
#include "files/ReadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>

namespace {
FileOutcome unreadable(int error) {
  if (error == ENOENT) return FileOutcome::refused(kMissingReason);
  std::string text = std::strerror(error);
  if (!text.empty()) text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
  // The errno stays with the refusal: a lease (EWOULDBLOCK) is no damage, a caller may say so.
  FileOutcome outcome = FileOutcome::refused("unreadable: " + text);
  outcome.error = error;
  return outcome;
}

std::string tooLarge(uint64_t size, std::size_t limit) {
  return "too large (" + std::to_string(size) + " bytes, at most " + std::to_string(limit) + ")";
}

// Reads until into is full or the file ends.
bool readInto(int fd, uint8_t* into, std::size_t wanted, std::size_t& got) {
  got = 0;
  while (got < wanted) {
    const ssize_t read = ::read(fd, into + got, wanted - got);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return false;
    if (read == 0) break;
    got += std::size_t(read);
  }
  return true;
}
}  // namespace

FileOutcome openForReading(const FileInFolder& at, std::size_t limit, FileDescriptor& file,
                           std::size_t& size) {
  // O_NONBLOCK: a pipe opens at once, and a lease holder is never waited for.
  FileDescriptor opened(
      ::openat(at.folder.get(), at.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
  if (!opened.valid()) {
    // A link left at the end was not followed: only an untrusted walk stops on one.
    return errno == ELOOP ? FileOutcome::refused(kNotRegularReason) : unreadable(errno);
  }
  struct stat info {};
  if (::fstat(opened.get(), &info) != 0) return unreadable(errno);
  if (!S_ISREG(info.st_mode)) return FileOutcome::refused(kNotRegularReason);
  if (uint64_t(info.st_size) > limit) return FileOutcome::refused(tooLarge(info.st_size, limit));
  size = std::size_t(info.st_size);
  file = std::move(opened);
  return FileOutcome::ok();
}

FileOutcome openForReading(const std::string& path, std::size_t limit, FileDescriptor& file,
                           std::size_t& size) {
  FileInFolder at;
  if (FileOutcome walked = walkToFile(AT_FDCWD, path, at); !walked) {
    return walked.error == ENOENT ? FileOutcome::refused(kMissingReason) : walked;
  }
  return openForReading(at, limit, file, size);
}

FileOutcome readWholeFile(const std::string& path, std::size_t limit, std::vector<uint8_t>& bytes) {
  bytes.clear();
  FileDescriptor file;
  std::size_t size = 0;
  if (FileOutcome opened = openForReading(path, limit, file, size); !opened) return opened;
  // One byte more than allowed tells a file that grew while it was read. The bytes are read
  // straight into the caller's vector, reusing what it already holds.
  const std::size_t room = limit < std::numeric_limits<std::size_t>::max() ? limit + 1 : limit;
  bytes.resize(std::min(size + 1, room));
  std::size_t got = 0;
  while (true) {
    std::size_t more = 0;
    if (!readInto(file.get(), bytes.data() + got, bytes.size() - got, more)) {
      bytes.clear();
      return unreadable(errno);
    }
    got += more;
    if (got < bytes.size() || bytes.size() == room) break;
    bytes.resize(std::min(bytes.size() * 2, room));
  }
  if (got > limit) {
    bytes.clear();
    return FileOutcome::refused(tooLarge(got, limit));
  }
  bytes.resize(got);
  return FileOutcome::ok();
}

FileOutcome readFileStart(const FileInFolder& at, std::span<uint8_t> into, std::size_t& got) {
  got = 0;
  FileDescriptor file;
  std::size_t size = 0;
  if (FileOutcome opened = openForReading(at, std::numeric_limits<std::size_t>::max(), file, size);
      !opened)
    return opened;
  if (!readInto(file.get(), into.data(), into.size(), got)) return unreadable(errno);
  return FileOutcome::ok();
}
