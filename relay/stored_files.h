// Uploaded files on disk: a name from the network made safe to use as one file name in the
// upload folder, and creation that never overwrites an earlier upload nor shows a partial one.
#pragma once

#include <cstdint>
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

// An upload being received. Its bytes go to a hidden temporary file in the upload folder, which
// gets its real name only once the last byte is in; a stopped or failed upload leaves nothing
// behind but, at worst (the relay killed meanwhile), a temporary file that the next start removes.
class IncomingFile {
public:
  // Creates the folder when missing; `error()` says why the file could not be made.
  explicit IncomingFile(const std::filesystem::path& folder);
  IncomingFile(const IncomingFile&) = delete;
  IncomingFile& operator=(const IncomingFile&) = delete;
  ~IncomingFile();

  bool Append(std::string_view bytes);
  std::uint64_t size() const { return size_; }
  const std::string& error() const { return error_; }
  // Closes the file and names it after `safeName`, numbered so that no earlier upload is replaced.
  StoredFile Keep(const std::string& safeName);

private:
  std::filesystem::path folder_;
  std::filesystem::path temporary_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::string error_;
};

// Removes the temporary files of uploads that were cut short by the relay's own end.
void RemoveUnfinishedUploads(const std::filesystem::path& folder);

// The whole content of a file, or false.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);
