// Reading a local file: the one reader behind file functions, uploads and the settings file.
// Only a regular file is read, and never more than it held when it was opened, so a FIFO, a
// device or a file that keeps growing cannot hold the host's thread or take its memory.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
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

// A file opened for reading in pieces, so that a large one need not sit in memory whole. The
// file stays open while any copy of `read` lives.
struct OpenedFile {
  FileReadFailure failure = FileReadFailure::kNone;
  uint64_t size = 0; // as found at opening; bytes the file gains later are never read
  // Fills `piece` with the bytes from `offset` on (offset + piece.size() <= size). False when a
  // read fails or the file ends before `piece` is full.
  std::function<bool(uint64_t offset, std::span<char> piece)> read;
};

// `path` is UTF-8 and opened up to its first NUL.
OpenedFile OpenFileForReading(std::string_view path, uint64_t limit);

struct FileRead {
  std::string bytes;
  FileReadFailure failure = FileReadFailure::kNone;
};

FileRead ReadWholeFile(std::string_view path, uint64_t limit);

} // namespace tideloom
