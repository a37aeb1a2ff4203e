#include "platform/upload.h"

#include <algorithm>
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

// The two text fields and the file part's header.
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

// The file part's end and the closing boundary.
std::string MultipartTail(std::string_view boundary) {
  std::string tail(kCrLf);
  tail.append("--").append(boundary).append("--").append(kCrLf);
  return tail;
}

// What the fixed boundary's occurrences rule out.
struct BoundaryScan {
  std::set<uint64_t> taken;
  bool fixedTaken = false;
};

constexpr std::size_t kLongestSuffixDigits = 19; // the most that fit in 64 bits

std::string BoundaryMarker() {
  std::string marker("--");
  marker += kMultipartBoundary;
  return marker;
}

// Adds every k for which "--" + fixed boundary + "_" + k occurs in `text`: a digit run after
// "_" rules out each number that its leading digits spell. A run cut short by the end of `text`
// adds only numbers that the whole run adds too, so scanning overlapping windows is safe.
void CollectTakenSuffixes(std::string_view text, BoundaryScan& scan) {
  const std::string marker = BoundaryMarker();
  std::set<uint64_t>& taken = scan.taken;
  for (std::size_t at = text.find(marker); at != std::string_view::npos;
       at = text.find(marker, at + 1)) {
    scan.fixedTaken = true;
    std::size_t i = at + marker.size();
    if (i >= text.size() || text[i] != '_') continue;
    ++i;
    if (i >= text.size() || text[i] == '0') continue;
    uint64_t number = 0;
    for (std::size_t digits = 0;
         i < text.size() && digits < kLongestSuffixDigits && text[i] >= '0' && text[i] <= '9';
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

// The file at `path` opened for sending, or false with its message in `error`.
bool OpenUploadFile(std::string_view path, OpenedFile& file, std::string& error) {
  file = OpenFileForReading(path, kLargestUpload);
  switch (file.failure) {
  case FileReadFailure::kNone:
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

// A body that streams `read`, of `size` bytes; a failing read fails the request with the
// message for the file at `path`.
BodySource FileBody(uint64_t size, std::string_view path, FilePieceReader read) {
  return {size, [path, read = std::move(read)](uint64_t offset, std::span<char> piece,
                                               std::string& error) {
            if (read(offset, piece)) return true;
            error = FailedToReadFileMessage(path);
            return false;
          }};
}

// The bytes at `offset` of the multipart body: the frame's head, the file, the frame's tail.
bool ReadMultipartPiece(const MultipartFrame& frame, const OpenedFile& file, uint64_t offset,
                        std::span<char> piece) {
  const uint64_t fileEnd = frame.head.size() + file.size;
  while (!piece.empty()) {
    std::size_t count = 0;
    if (offset < frame.head.size()) {
      count =
          static_cast<std::size_t>(std::min<uint64_t>(piece.size(), frame.head.size() - offset));
      std::copy_n(frame.head.begin() + static_cast<std::ptrdiff_t>(offset), count, piece.begin());
    } else if (offset < fileEnd) {
      count = static_cast<std::size_t>(std::min<uint64_t>(piece.size(), fileEnd - offset));
      if (!file.read(offset - frame.head.size(), piece.first(count))) return false;
    } else {
      const uint64_t at = offset - fileEnd;
      count = static_cast<std::size_t>(std::min<uint64_t>(piece.size(), frame.tail.size() - at));
      std::copy_n(frame.tail.begin() + static_cast<std::ptrdiff_t>(at), count, piece.begin());
    }
    offset += count;
    piece = piece.subspan(count);
  }
  return true;
}

} // namespace

bool ChooseBoundary(std::string_view licenseKey, std::string_view filename, uint64_t fileSize,
                    const FilePieceReader& readFile, std::string& boundary) {
  BoundaryScan scan;
  CollectTakenSuffixes(licenseKey, scan);
  CollectTakenSuffixes(filename, scan);
  // Each window repeats the previous one's last bytes, enough to hold a whole occurrence with
  // its digits, so one that straddles two pieces is still seen whole.
  const std::size_t overlap = BoundaryMarker().size() + 1 + kLongestSuffixDigits;
  std::string window(
      overlap + static_cast<std::size_t>(std::min<uint64_t>(fileSize, kUploadPieceSize)), '\0');
  std::size_t kept = 0;
  for (uint64_t offset = 0; offset < fileSize;) {
    const std::size_t count =
        static_cast<std::size_t>(std::min<uint64_t>(fileSize - offset, kUploadPieceSize));
    if (!readFile(offset, std::span<char>(window).subspan(kept, count))) return false;
    const std::string_view seen(window.data(), kept + count);
    CollectTakenSuffixes(seen, scan);
    const std::string_view carried = seen.substr(seen.size() - std::min(seen.size(), overlap));
    std::copy(carried.begin(), carried.end(), window.begin());
    kept = carried.size();
    offset += count;
  }
  boundary = kMultipartBoundary;
  if (!scan.fixedTaken) return true;
  uint64_t suffix = 1;
  while (scan.taken.count(suffix) != 0)
    ++suffix;
  boundary += '_';
  boundary += std::to_string(suffix);
  return true;
}

std::string ChooseBoundary(std::string_view licenseKey, std::string_view filename,
                           std::string_view fileBytes) {
  std::string boundary;
  ChooseBoundary(
      licenseKey, filename, fileBytes.size(),
      [fileBytes](uint64_t offset, std::span<char> piece) {
        const std::string_view bytes = fileBytes.substr(offset, piece.size());
        std::copy(bytes.begin(), bytes.end(), piece.begin());
        return true;
      },
      boundary);
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

MultipartFrame FrameMultipart(std::string_view boundary, std::string_view licenseKey,
                              std::string_view filename) {
  return {MultipartHead(boundary, licenseKey, filename), MultipartTail(boundary)};
}

uint64_t MultipartBodySize(std::string_view boundary, std::string_view licenseKey,
                           std::string_view filename, uint64_t fileSize) {
  const MultipartFrame frame = FrameMultipart(boundary, licenseKey, filename);
  return frame.head.size() + fileSize + frame.tail.size();
}

HttpReply HttpPostMultipart(std::string_view url, std::string_view licenseKey,
                            std::string_view filename, std::string_view filePath) {
  HttpReply failed;
  OpenedFile file;
  if (!OpenUploadFile(filePath, file, failed.error)) return failed;
  // The boundary depends on the whole file, so the file is read twice: once to scan it, once
  // while it is sent.
  std::string boundary;
  if (!ChooseBoundary(licenseKey, filename, file.size, file.read, boundary)) {
    failed.error = FailedToReadFileMessage(filePath);
    return failed;
  }
  const uint64_t size = MultipartBodySize(boundary, licenseKey, filename, file.size);
  if (size > kLargestUpload) {
    failed.error = FileTooLargeMessage(filePath);
    return failed;
  }
  const MultipartFrame frame = FrameMultipart(boundary, licenseKey, filename);
  const BodySource body = FileBody(size, filePath, [&](uint64_t offset, std::span<char> piece) {
    return ReadMultipartPiece(frame, file, offset, piece);
  });
  std::string contentType = "multipart/form-data; boundary=";
  contentType += boundary;
  return HttpRequest("POST", url, contentType, body);
}

HttpReply HttpPostFile(std::string_view url, std::string_view filePath) {
  HttpReply failed;
  OpenedFile file;
  if (!OpenUploadFile(filePath, file, failed.error)) return failed;
  return HttpRequest("POST", url, "application/octet-stream",
                     FileBody(file.size, filePath, file.read));
}

} // namespace tideloom
