#include <array>

#include "platform/posix_path.h"

namespace tideloom {

std::string NativePathFromHostPath(std::string_view hostPath) {
  static constexpr std::array<std::string_view, 4> kPrefixes = {"filewin://", "filewin:/",
                                                                "file:///", "file:/"};
  std::string_view rest = hostPath;
  for (std::string_view prefix : kPrefixes) {
    if (rest.substr(0, prefix.size()) == prefix) {
      rest.remove_prefix(prefix.size());
      break;
    }
  }
  // "/E:/x" names the drive path "E:/x".
  const auto isAsciiLetter = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  if (rest.size() >= 3 && (rest[0] == '/' || rest[0] == '\\') && isAsciiLetter(rest[1]) &&
      rest[2] == ':') {
    rest.remove_prefix(1);
  }
  std::string path(rest);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

} // namespace tideloom
