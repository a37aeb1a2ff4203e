#include "relay/stored_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

constexpr std::size_t kMaxNameBytes = 200;
// Safe names never start with a dot, so no finished upload can carry this prefix.
constexpr std::string_view kIncomingPrefix = ".incoming-";

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
  // Built by appending: GCC 12 wrongly sees overlapping copies in "literal" + std::string&&.
  std::string suffix(1, '-');
  suffix += std::to_string(n);
  std::string numbered = name;
  const std::size_t dot = name.find('.', 1);
  numbered.insert(dot == std::string::npos ? name.size() : dot, suffix);
  return numbered;
}

IncomingFile::IncomingFile(const std::filesystem::path& folder) : folder_(folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error_ = ec.message();
    return;
  }
  std::string pattern = (folder / (std::string(kIncomingPrefix) + "XXXXXX")).string();
  fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ >= 0) temporary_ = pattern;
  // mkostemp makes the file private; uploads were always readable like any other file made here.
  if (fd_ < 0 || ::fchmod(fd_, 0644) != 0) error_ = std::strerror(errno);
}

IncomingFile::~IncomingFile() {
  if (fd_ >= 0) ::close(fd_);
  std::error_code ec;
  if (!temporary_.empty()) std::filesystem::remove(temporary_, ec);
}

bool IncomingFile::Append(std::string_view bytes) {
  if (fd_ < 0) return false;
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      error_ = std::strerror(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    size_ += static_cast<std::uint64_t>(written);
  }
  return true;
}

StoredFile IncomingFile::Keep(const std::string& safeName) {
  StoredFile stored;
  const int fd = fd_;
  fd_ = -1;
  if (fd < 0 || ::close(fd) != 0) {
    stored.error = error_.empty() ? std::strerror(errno) : error_;
    return stored;
  }
  for (int n = 1; n < 100000; ++n) {
    const std::string candidate = NumberedFileName(safeName, n);
    const std::filesystem::path path = folder_ / candidate;
    // link() fails on an existing name, so two uploads of the same name at once get two files.
    if (::link(temporary_.c_str(), path.c_str()) != 0) {
      if (errno == EEXIST) continue;
      stored.error = std::strerror(errno);
      return stored;
    }
    stored.name = candidate;
    stored.path = path;
    return stored;
  }
  stored.error = "too many files named " + safeName;
  return stored;
}

void RemoveUnfinishedUploads(const std::filesystem::path& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().filename().string().starts_with(kIncomingPrefix)) {
      std::filesystem::remove(entry.path(), ec);
    }
  }
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}
