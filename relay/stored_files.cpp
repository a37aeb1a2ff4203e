#include "relay/stored_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/file_descriptor_posix.h"

namespace {

constexpr std::size_t kMaxNameBytes = 200;

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

std::string SafeStoredFileName(std::string_view name) {
  std::string safe;
  safe.reserve(name.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unsafe = c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F;
    safe.push_back(unsafe ? '_' : c);
  }
  // A leading dot would hide the file and allows "." and ".."; an inner ".." is harmless.
  for (char& c : safe) {
    if (c != '.') break;
    c = '_';
  }
  if (safe.size() > kMaxNameBytes) {
    std::size_t start = safe.size() - kMaxNameBytes;
    while (start < safe.size() && IsUtf8Continuation(safe[start]))
      ++start;
    safe.erase(0, start);
    if (!safe.empty() && safe.front() == '.') safe.front() = '_';
  }
  if (safe.empty()) safe = "upload";
  return safe;
}

std::string NumberedFileName(const std::string& name, int n) {
  if (n <= 1) return name;
  const std::string suffix = "-" + std::to_string(n);
  const std::size_t dot = name.find('.', 1);
  if (dot == std::string::npos) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

StoredFile StoreNewFile(const std::filesystem::path& folder, const std::string& safeName,
                        std::string_view bytes) {
  StoredFile stored;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    stored.error = ec.message();
    return stored;
  }
  for (int n = 1; n < 100000; ++n) {
    const std::string candidate = NumberedFileName(safeName, n);
    const std::filesystem::path path = folder / candidate;
    // O_EXCL makes two uploads of the same name at once end up in two files.
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (file.get() < 0) {
      if (errno == EEXIST) continue;
      stored.error = std::strerror(errno);
      return stored;
    }
    if (!WriteAll(file.get(), bytes) || !file.close()) {
      stored.error = std::strerror(errno);
      std::filesystem::remove(path, ec);
      return stored;
    }
    stored.name = candidate;
    stored.path = path;
    return stored;
  }
  stored.error = "too many files named " + safeName;
  return stored;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}
