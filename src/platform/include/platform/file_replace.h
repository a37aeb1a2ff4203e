// Replacing a file's contents in one step, through a table of calls that tests can swap to make
// any step fail (each back end fills the table with the system's calls).
#pragma once

#include <filesystem>
#include <string_view>

namespace tideloom {

struct FileReplaceCalls {
  // Creates or truncates `path`, writes all of `bytes` and flushes them to the disk.
  bool (*writeNewFile)(const std::filesystem::path& path, std::string_view bytes);
  // Puts `source` in the place of `target` in one step, replacing an existing `target`.
  bool (*replaceFile)(const std::filesystem::path& source, const std::filesystem::path& target);
};

// The system's own calls.
extern const FileReplaceCalls systemFileReplaceCalls;

// The calls in use; a test swaps an entry and puts `systemFileReplaceCalls` back afterwards.
extern FileReplaceCalls fileReplaceCalls;

} // namespace tideloom
