// A UTF-8 path as the file system wants it: its bytes on POSIX, its UTF-16 form on Windows.
// Read up to the first NUL on both.
#pragma once

#include <filesystem>
#include <string_view>

std::filesystem::path NativePath(std::string_view utf8Path);
