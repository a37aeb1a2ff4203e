// POSIX back end: write and fsync a file, then rename(2) it over the old one.
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "platform/file_descriptor_posix.h"
#include "platform/file_replace.h"

namespace tideloom {

namespace {

bool WriteNewFile(const std::filesystem::path& path, std::string_view bytes) {
  // The settings hold an account key: only the user may read them.
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (file.get() < 0) return false;
  while (!bytes.empty()) {
    const ssize_t written = ::write(file.get(), bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  if (::fsync(file.get()) != 0) return false;
  return file.close();
}

bool MoveIntoPlace(const std::filesystem::path& source, const std::filesystem::path& target) {
  if (std::rename(source.c_str(), target.c_str()) != 0) return false;
  // Make the new directory entry itself durable; a failure here leaves a whole file either way.
  FileDescriptor folder(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return true;
}

constexpr FileReplaceCalls kSystemCalls = {WriteNewFile, MoveIntoPlace};

} // namespace

const FileReplaceCalls systemFileReplaceCalls = kSystemCalls;
FileReplaceCalls fileReplaceCalls = kSystemCalls;

} // namespace tideloom
