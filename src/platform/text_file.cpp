#include "platform/text_file.h"

#include <limits>

#include "platform/file_read.h"

namespace tideloom {

namespace {

std::string CouldNotOpenMessage(std::string_view path) {
  std::string message = "ERROR: Could not open file: ";
  message += path;
  return message;
}

std::string FailedToReadMessage(std::string_view path) {
  std::string message = "ERROR: Failed to read file: ";
  message += path;
  return message;
}

} // namespace

bool ReadTextFile(std::string_view path, std::string& contents, std::string& error) {
  FileRead read = ReadWholeFile(path, std::numeric_limits<uint64_t>::max());
  switch (read.failure) {
  case FileReadFailure::kNone:
    contents = std::move(read.bytes);
    return true;
  case FileReadFailure::kCannotOpen:
    error = CouldNotOpenMessage(path);
    return false;
  default:
    error = FailedToReadMessage(path);
    return false;
  }
}

} // namespace tideloom
