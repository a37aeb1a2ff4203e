// Windows back end: write and flush a file, then MoveFileExW it over the old one.
#include <windows.h>

#include "platform/file_handle_win32.h"
#include "platform/file_replace.h"

namespace tideloom {

namespace {

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

} // namespace tideloom
