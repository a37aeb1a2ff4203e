// Uploaded files on disk: a name from the network made safe to use as one file name in the
// upload folder, and creation that never overwrites an earlier upload.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// No path separators, no control bytes, no leading dot (so never "." or ".."), never empty, and
// at most 200 bytes, cut at a whole UTF-8 character from the front so the extension survives.
std::string SafeStoredFileName(std::string_view name);

// `name` itself, or with "-2", "-3", ... before its first dot: the n-th candidate.
std::string NumberedFileName(const std::string& name, int n);

struct StoredFile {
  std::string name; // the name actually used, after any collision suffix
  std::filesystem::path path;
  std::string error; // empty on success
};

// Creates a new file in `folder` (made if missing) named after `safeName`, never replacing one.
StoredFile StoreNewFile(const std::filesystem::path& folder, const std::string& safeName,
                        std::string_view bytes);

// The whole content of a file, or false.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);
