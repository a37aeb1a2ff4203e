#include <array>

#include "platform/posix_path.h"

namespace tideloom {

std::string NativePathFromHostPath(std::string_view hostPath) {
  // "file:///opt/x" keeps its third slash as the root of the path.
  static constexpr std::array<std::string_view, 3> kPrefixes = {"filelinux:", "file://", "file:"};
  for (std::string_view prefix : kPrefixes) {
    if (hostPath.substr(0, prefix.size()) == prefix) {
      return std::string(hostPath.substr(prefix.size()));
    }
  }
  return std::string(hostPath);
}

} // namespace tideloom
