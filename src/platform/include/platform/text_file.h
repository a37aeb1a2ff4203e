// Reading a whole local file as bytes, for the functions that return or send a file's text.
#pragma once

#include <string>
#include <string_view>

namespace tideloom {

// The file's bytes unchanged in `contents`, or false with "ERROR: Could not open file: " or
// "ERROR: Failed to read file: " + path in `error`.
bool ReadTextFile(std::string_view path, std::string& contents, std::string& error);

} // namespace tideloom
