#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_descriptor_posix.h"
#include "platform/file_read.h"

namespace tideloom {

OpenedFile OpenFileForReading(std::string_view path, uint64_t limit) {
  const std::string nativePath(path.substr(0, path.find('\0')));
  // Non-blocking, so that opening a FIFO with no writer returns at once; the type check below
  // then refuses it. Reads of a regular file do not block either way.
  auto file = std::make_shared<FileDescriptor>(
      ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat status {};
  if (file->get() < 0) return {FileReadFailure::kCannotOpen, 0, nullptr};
  if (::fstat(file->get(), &status) != 0) return {FileReadFailure::kCannotSize, 0, nullptr};
  if (!S_ISREG(status.st_mode)) return {FileReadFailure::kCannotOpen, 0, nullptr};
  if (status.st_size < 0) return {FileReadFailure::kCannotSize, 0, nullptr};
  if (static_cast<uint64_t>(status.st_size) > limit)
    return {FileReadFailure::kTooLarge, 0, nullptr};

  auto read = [file](uint64_t offset, std::span<char> piece) {
    std::size_t done = 0;
    while (done < piece.size()) {
      const ssize_t got = ::pread(file->get(), piece.data() + done, piece.size() - done,
                                  static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false; // failed, or the file shrank
      done += static_cast<std::size_t>(got);
    }
    return true;
  };
  return {FileReadFailure::kNone, static_cast<uint64_t>(status.st_size), read};
}

} // namespace tideloom
