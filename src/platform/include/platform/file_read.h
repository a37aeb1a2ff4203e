// Reading a whole local file: the one reader behind file functions, uploads and the settings
// file. Only a regular file is read, and never more than it held when it was opened, so a FIFO,
// a device or a file that keeps growing cannot hold the host's thread or take its memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tideloom {

enum class FileReadFailure {
  kNone,
  kCannotOpen, // missing, not allowed, or not a regular file
  kCannotSize,
  kTooLarge,   // larger than the caller's limit
  kReadFailed, // a read failed, or the file shrank while it was read
};

struct FileRead {
  std::string bytes;
  FileReadFailure failure = FileReadFailure::kNone;
};

// `path` is UTF-8 and read up to its first NUL.
FileRead ReadWholeFile(std::string_view path, uint64_t limit);

} // namespace tideloom
