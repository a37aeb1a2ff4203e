// The upload reader on Windows: opened by the UTF-16 path, so any name opens whatever the ANSI
// code page; other programs may read the file meanwhile but not write it.
#include <windows.h>

#include <string>

#include "platform/text_conversion.h"
#include "platform/upload.h"
#include "platform/upload_messages.h"

namespace {

struct FileHandle {
  HANDLE handle;
  explicit FileHandle(HANDLE h) : handle(h) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  void Close() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }
};

} // namespace

bool ReadFileBytes(std::string_view path, std::string& bytes, std::string& error) {
  const std::u16string widePath = Utf8ToWide(path);
  FileHandle file(CreateFileW(reinterpret_cast<const wchar_t*>(widePath.c_str()), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (file.handle == INVALID_HANDLE_VALUE) {
    error = CannotOpenFileMessage(path);
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.handle, &size) || size.QuadPart < 0) {
    file.Close();
    error = CannotSizeFileMessage(path);
    return false;
  }
  if (static_cast<uint64_t>(size.QuadPart) > kLargestUpload) {
    file.Close();
    error = FileTooLargeMessage(path);
    return false;
  }
  std::string contents(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!contents.empty() && !ReadFile(file.handle, contents.data(),
                                     static_cast<DWORD>(contents.size()), &read, nullptr)) {
    file.Close();
    error = FailedToReadFileMessage(path);
    return false;
  }
  file.Close();
  if (read != contents.size()) {
    error = FailedToReadFileMessage(path);
    return false;
  }
  bytes = std::move(contents);
  return true;
}
