// A POSIX file descriptor closed on every path, for the writers that must see a failing close.
#pragma once

#include <unistd.h>

namespace tideloom {

class FileDescriptor {
public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closing can report a late write error, so the writer looks at it.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) == 0;
  }

private:
  int fd_;
};

} // namespace tideloom
