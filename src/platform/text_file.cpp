#include "platform/text_file.h"

#include <fstream>
#include <system_error>

#include "platform/native_path.h"

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
  const std::filesystem::path nativePath = NativePath(path);
  std::error_code ignored;
  // A folder opens as a stream on some systems and would read as an empty file.
  if (nativePath.empty() || std::filesystem::is_directory(nativePath, ignored)) {
    error = CouldNotOpenMessage(path);
    return false;
  }
  std::ifstream in(nativePath, std::ios::in | std::ios::binary);
  if (!in.is_open()) {
    error = CouldNotOpenMessage(path);
    return false;
  }
  std::string collected;
  char buffer[64 * 1024];
  while (in.read(buffer, sizeof(buffer)) || in.gcount() > 0) {
    collected.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad() || (in.fail() && !in.eof())) {
    error = FailedToReadMessage(path);
    return false;
  }
  contents = std::move(collected);
  return true;
}
