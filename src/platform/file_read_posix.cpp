#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_descriptor_posix.h"
#include "platform/file_read.h"

namespace tideloom {

FileRead ReadWholeFile(std::string_view path, uint64_t limit) {
  const std::string nativePath(path.substr(0, path.find('\0')));
  // Non-blocking, so that opening a FIFO with no writer returns at once; the type check below
  // then refuses it. Reads of a regular file do not block either way.
  FileDescriptor file(::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat status {};
  if (file.get() < 0) return {{}, FileReadFailure::kCannotOpen};
  if (::fstat(file.get(), &status) != 0) return {{}, FileReadFailure::kCannotSize};
  if (!S_ISREG(status.st_mode)) return {{}, FileReadFailure::kCannotOpen};
  if (status.st_size < 0) return {{}, FileReadFailure::kCannotSize};
  if (static_cast<uint64_t>(status.st_size) > limit) return {{}, FileReadFailure::kTooLarge};

  FileRead read;
  read.bytes.resize(static_cast<std::size_t>(status.st_size));
  std::size_t done = 0;
  while (done < read.bytes.size()) {
    const ssize_t got = ::read(file.get(), read.bytes.data() + done, read.bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return {{}, FileReadFailure::kReadFailed}; // failed, or the file shrank
    done += static_cast<std::size_t>(got);
  }
  return read;
}

} // namespace tideloom
