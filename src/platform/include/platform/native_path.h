// A UTF-8 path as the file system wants it: its bytes on POSIX, its UTF-16 form on Windows.
// Read up to the first NUL on both.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tideloom {

std::filesystem::path NativePath(std::string_view utf8Path);

// The other way: a path the system gave, as UTF-8.
inline std::string Utf8FromNativePath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

} // namespace tideloom
