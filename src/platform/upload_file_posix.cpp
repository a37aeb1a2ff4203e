// The upload reader on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/upload.h"
#include "platform/upload_messages.h"

namespace {

struct FileDescriptor {
  int fd;
  explicit FileDescriptor(int d) : fd(d) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  void Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

} // namespace

bool ReadFileBytes(std::string_view path, std::string& bytes, std::string& error) {
  // The path goes to the system up to its first NUL, as it would as UTF-16.
  const std::string nativePath(path.substr(0, path.find('\0')));
  FileDescriptor file(::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (file.fd < 0 || (::fstat(file.fd, &status) == 0 && S_ISDIR(status.st_mode))) {
    file.Close();
    error = CannotOpenFileMessage(path);
    return false;
  }
  if (::fstat(file.fd, &status) != 0 || status.st_size < 0) {
    file.Close();
    error = CannotSizeFileMessage(path);
    return false;
  }
  if (static_cast<uint64_t>(status.st_size) > kLargestUpload) {
    file.Close();
    error = FileTooLargeMessage(path);
    return false;
  }
  std::string contents(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t done = 0;
  while (done < contents.size()) {
    const ssize_t got = ::read(file.fd, contents.data() + done, contents.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      file.Close();
      error = FailedToReadFileMessage(path);
      return false;
    }
    if (got == 0) break; // the file shrank while open
    done += static_cast<std::size_t>(got);
  }
  file.Close();
  if (done != contents.size()) {
    error = FailedToReadFileMessage(path);
    return false;
  }
  bytes = std::move(contents);
  return true;
}
