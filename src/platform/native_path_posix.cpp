#include <string>

#include "platform/native_path.h"

namespace tideloom {

std::filesystem::path NativePath(std::string_view utf8Path) {
  return std::filesystem::path(std::string(utf8Path.substr(0, utf8Path.find('\0'))));
}

} // namespace tideloom
