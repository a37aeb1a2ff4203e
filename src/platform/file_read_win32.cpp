// Opened by the UTF-16 path, so any name opens whatever the ANSI code page; other programs may
// read the file meanwhile but not write it.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/file_handle_win32.h"
#include "platform/file_read.h"
#include "platform/text_conversion.h"

namespace tideloom {

FileRead ReadWholeFile(std::string_view path, uint64_t limit) {
  const std::u16string widePath = Utf8ToWide(path.substr(0, path.find('\0')));
  FileHandle file(CreateFileW(reinterpret_cast<const wchar_t*>(widePath.c_str()), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!file.valid()) return {{}, FileReadFailure::kCannotOpen};
  // Pipes, consoles and devices are no files to read whole.
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return {{}, FileReadFailure::kCannotOpen};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) {
    return {{}, FileReadFailure::kCannotSize};
  }
  if (static_cast<uint64_t>(size.QuadPart) > limit) return {{}, FileReadFailure::kTooLarge};

  FileRead read;
  read.bytes.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < read.bytes.size()) {
    // ReadFile takes a 32-bit count; large files are read in pieces.
    const DWORD want =
        static_cast<DWORD>(std::min<std::size_t>(read.bytes.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(file.get(), read.bytes.data() + done, want, &got, nullptr) || got == 0) {
      return {{}, FileReadFailure::kReadFailed};
    }
    done += got;
  }
  return read;
}

} // namespace tideloom
