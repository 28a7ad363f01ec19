// An open file or folder descriptor that closes itself.
#pragma once
#include <unistd.h>

#include <utility>

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd, -1));
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd; }
  bool valid() const { return fd >= 0; }
  int release() { return std::exchange(fd, -1); }
  void reset(int replacement = -1) {
    if (fd >= 0) ::close(fd);
    fd = replacement;
  }

 private:
  int fd = -1;
};
