#include "platform/upload.h"

#include <set>

#include "platform/file_read.h"
#include "platform/http.h"

namespace tideloom {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string WithPath(std::string_view text, std::string_view path) {
  std::string message(text);
  message += path;
  return message;
}

// Rows 1 to 9: the two text fields and the file part's head.
std::string MultipartHead(std::string_view boundary, std::string_view licenseKey,
                          std::string_view filename) {
  std::string head;
  head.reserve(200 + 3 * boundary.size() + licenseKey.size() + 2 * filename.size());
  auto field = [&](std::string_view name, std::string_view value) {
    head.append("--").append(boundary).append(kCrLf);
    head.append("Content-Disposition: form-data; name=\"").append(name).append("\"");
    head.append(kCrLf).append(kCrLf);
    head.append(value).append(kCrLf);
  };
  field("licenseKey", licenseKey);
  field("filename", filename);
  head.append("--").append(boundary).append(kCrLf);
  head.append("Content-Disposition: form-data; name=\"file\"; filename=\"");
  head.append(QuotedParameterSafe(filename)).append("\"").append(kCrLf);
  head.append("Content-Type: application/octet-stream").append(kCrLf).append(kCrLf);
  return head;
}

// Row 11.
std::string MultipartTail(std::string_view boundary) {
  std::string tail(kCrLf);
  tail.append("--").append(boundary).append("--").append(kCrLf);
  return tail;
}

// Adds every k for which "--" + fixed boundary + "_" + k occurs in `text`: a digit run after
// "_" rules out each number that its leading digits spell.
void CollectTakenSuffixes(std::string_view text, std::set<uint64_t>& taken, bool& fixedTaken) {
  std::string marker("--");
  marker += kMultipartBoundary;
  for (std::size_t at = text.find(marker); at != std::string_view::npos;
       at = text.find(marker, at + 1)) {
    fixedTaken = true;
    std::size_t i = at + marker.size();
    if (i >= text.size() || text[i] != '_') continue;
    ++i;
    if (i >= text.size() || text[i] == '0') continue;
    uint64_t number = 0;
    for (int digits = 0; i < text.size() && digits < 19 && text[i] >= '0' && text[i] <= '9';
         ++i, ++digits) {
      number = number * 10 + static_cast<uint64_t>(text[i] - '0');
      taken.insert(number);
    }
  }
}

std::string CannotOpenFileMessage(std::string_view path) {
  return WithPath("Cannot open file: ", path);
}
std::string CannotSizeFileMessage(std::string_view path) {
  return WithPath("Cannot determine file size: ", path);
}
std::string FileTooLargeMessage(std::string_view path) {
  return WithPath("File is too large for a single upload read: ", path);
}
std::string FailedToReadFileMessage(std::string_view path) {
  return WithPath("Failed to read file: ", path);
}

} // namespace

bool ReadFileBytes(std::string_view path, std::string& bytes, std::string& error) {
  FileRead read = ReadWholeFile(path, kLargestUpload);
  switch (read.failure) {
  case FileReadFailure::kNone:
    bytes = std::move(read.bytes);
    return true;
  case FileReadFailure::kCannotOpen:
    error = CannotOpenFileMessage(path);
    return false;
  case FileReadFailure::kCannotSize:
    error = CannotSizeFileMessage(path);
    return false;
  case FileReadFailure::kTooLarge:
    error = FileTooLargeMessage(path);
    return false;
  case FileReadFailure::kReadFailed:
    break;
  }
  error = FailedToReadFileMessage(path);
  return false;
}

std::string ChooseBoundary(std::string_view licenseKey, std::string_view filename,
                           std::string_view fileBytes) {
  std::set<uint64_t> taken;
  bool fixedTaken = false;
  CollectTakenSuffixes(licenseKey, taken, fixedTaken);
  CollectTakenSuffixes(filename, taken, fixedTaken);
  CollectTakenSuffixes(fileBytes, taken, fixedTaken);
  std::string boundary(kMultipartBoundary);
  if (!fixedTaken) return boundary;
  uint64_t suffix = 1;
  while (taken.count(suffix) != 0)
    ++suffix;
  boundary += '_';
  boundary += std::to_string(suffix);
  return boundary;
}

std::string QuotedParameterSafe(std::string_view filename) {
  std::string safe;
  safe.reserve(filename.size());
  for (char c : filename) {
    switch (c) {
    case '"':
      safe += "%22";
      break;
    case '\r':
      safe += "%0D";
      break;
    case '\n':
      safe += "%0A";
      break;
    default:
      safe += c;
    }
  }
  return safe;
}

uint64_t MultipartBodySize(std::string_view boundary, std::string_view licenseKey,
                           std::string_view filename, uint64_t fileSize) {
  return MultipartHead(boundary, licenseKey, filename).size() + fileSize +
         MultipartTail(boundary).size();
}

std::string BuildMultipartBody(std::string_view boundary, std::string_view licenseKey,
                               std::string_view filename, std::string_view fileBytes) {
  std::string body = MultipartHead(boundary, licenseKey, filename);
  const std::string tail = MultipartTail(boundary);
  body.reserve(body.size() + fileBytes.size() + tail.size());
  body.append(fileBytes).append(tail);
  return body;
}

bool HttpPostMultipart(std::string_view url, std::string_view licenseKey, std::string_view filename,
                       std::string_view filePath, std::string& reply, std::string& error) {
  std::string fileBytes;
  if (!ReadFileBytes(filePath, fileBytes, error)) return false;
  const std::string boundary = ChooseBoundary(licenseKey, filename, fileBytes);
  if (MultipartBodySize(boundary, licenseKey, filename, fileBytes.size()) > kLargestUpload) {
    error = FileTooLargeMessage(filePath);
    return false;
  }
  const std::string body = BuildMultipartBody(boundary, licenseKey, filename, fileBytes);
  fileBytes = std::string(); // the body holds its own copy
  std::string contentType = "multipart/form-data; boundary=";
  contentType += boundary;
  return HttpRequest("POST", url, contentType, body, reply, error);
}

bool HttpPostFile(std::string_view url, std::string_view filePath, std::string& reply,
                  std::string& error) {
  std::string fileBytes;
  if (!ReadFileBytes(filePath, fileBytes, error)) return false;
  return HttpRequest("POST", url, "application/octet-stream", fileBytes, reply, error);
}

} // namespace tideloom
