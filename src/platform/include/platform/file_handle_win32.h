// A Windows file handle closed on every path, for the writers that must see a failing close.
#pragma once

#include <windows.h>

namespace tideloom {

class FileHandle {
public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  bool close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && CloseHandle(handle) != 0;
  }

private:
  HANDLE handle_;
};

} // namespace tideloom
