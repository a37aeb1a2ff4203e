// Windows back end: write and flush a file, then MoveFileExW it over the old one.
#include <windows.h>

#include "platform/file_replace.h"

namespace {

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
    return CloseHandle(handle) != 0;
  }

private:
  HANDLE handle_;
};

bool WriteNewFile(const std::filesystem::path& path, std::string_view bytes) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  while (!bytes.empty()) {
    // WriteFile counts in DWORD; write large texts in pieces.
    const DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  if (!FlushFileBuffers(file.get())) return false;
  return file.close();
}

bool MoveIntoPlace(const std::filesystem::path& source, const std::filesystem::path& target) {
  return MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

constexpr FileReplaceCalls kSystemCalls = {WriteNewFile, MoveIntoPlace};

} // namespace

const FileReplaceCalls systemFileReplaceCalls = kSystemCalls;
FileReplaceCalls fileReplaceCalls = kSystemCalls;
