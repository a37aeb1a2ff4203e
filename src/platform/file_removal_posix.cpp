#include <string>
#include <unistd.h>

#include "platform/file_removal.h"

namespace tideloom {

bool RemoveFileAt(std::string_view utf8Path) {
  // The path reaches the system up to its first NUL, as it would as UTF-16.
  const std::string path(utf8Path.substr(0, utf8Path.find('\0')));
  return !path.empty() && ::unlink(path.c_str()) == 0;
}

} // namespace tideloom
