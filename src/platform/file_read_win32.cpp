// Opened by the UTF-16 path, so any name opens whatever the ANSI code page; other programs may
// read the file meanwhile but not write it.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/file_handle_win32.h"
#include "platform/file_read.h"
#include "platform/text_conversion.h"

namespace tideloom {

OpenedFile OpenFileForReading(std::string_view path, uint64_t limit) {
  const std::u16string widePath = Utf8ToWide(path.substr(0, path.find('\0')));
  auto file = std::make_shared<FileHandle>(
      CreateFileW(reinterpret_cast<const wchar_t*>(widePath.c_str()), GENERIC_READ, FILE_SHARE_READ,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file->valid()) return {FileReadFailure::kCannotOpen, 0, nullptr};
  // Pipes, consoles and devices are no files to read.
  if (GetFileType(file->get()) != FILE_TYPE_DISK) return {FileReadFailure::kCannotOpen, 0, nullptr};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file->get(), &size) || size.QuadPart < 0) {
    return {FileReadFailure::kCannotSize, 0, nullptr};
  }
  if (static_cast<uint64_t>(size.QuadPart) > limit) return {FileReadFailure::kTooLarge, 0, nullptr};

  auto read = [file](uint64_t offset, std::span<char> piece) {
    std::size_t done = 0;
    while (done < piece.size()) {
      // ReadFile takes a 32-bit count, and on a handle opened for synchronous reads the
      // OVERLAPPED record only names the position to read from.
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(piece.size() - done, 1u << 30));
      const uint64_t at = offset + done;
      OVERLAPPED position{};
      position.Offset = static_cast<DWORD>(at);
      position.OffsetHigh = static_cast<DWORD>(at >> 32);
      DWORD got = 0;
      if (!ReadFile(file->get(), piece.data() + done, want, &got, &position) || got == 0) {
        return false; // failed, or the file shrank
      }
      done += got;
    }
    return true;
  };
  return {FileReadFailure::kNone, static_cast<uint64_t>(size.QuadPart), read};
}

} // namespace tideloom
