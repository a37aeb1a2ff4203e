// Deleting a file named by a UTF-8 path: its bytes on POSIX, its UTF-16 form on Windows, so
// that a name with non-ASCII characters is found whatever the system's code page.
#pragma once

#include <string_view>

namespace tideloom {

// False when nothing was deleted (no such file, a folder, or no permission).
bool RemoveFileAt(std::string_view utf8Path);

} // namespace tideloom
