// The upload body for any key, filename and file: a strict multipart reader finds exactly the two
// fields and the file, byte for byte, and the announced size is the body's. A reader of our own,
// since Debian's cpp-httplib keeps its multipart parser inside its compiled library.
#include <vector>

#include "fuzz_input.h"
#include "platform/upload.h"

using namespace tideloom;

namespace {
struct Part {
  std::string_view headers;
  std::string_view content;
};

// Parts between "--boundary" lines; false when the body does not have that shape.
bool ReadParts(std::string_view body, std::string_view boundary, std::vector<Part>& parts) {
  const std::string first = "--" + std::string(boundary) + "\r\n";
  const std::string next = "\r\n--" + std::string(boundary);
  if (body.substr(0, first.size()) != first) return false;
  body.remove_prefix(first.size());
  for (;;) {
    const size_t end = body.find(next);
    const size_t headersEnd = body.find("\r\n\r\n");
    if (end == std::string_view::npos || headersEnd == std::string_view::npos || headersEnd > end)
      return false;
    parts.push_back(
        {body.substr(0, headersEnd), body.substr(headersEnd + 4, end - headersEnd - 4)});
    body.remove_prefix(end + next.size());
    if (body == "--\r\n") return true;
    if (body.substr(0, 2) != "\r\n") return false;
    body.remove_prefix(2);
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [key, filename, file] = SplitFields<3>(data, size);
  const std::string boundary = ChooseBoundary(key, filename, file);
  const MultipartFrame frame = FrameMultipart(boundary, key, filename);
  const std::string body = frame.head + std::string(file) + frame.tail;
  Require(MultipartBodySize(boundary, key, filename, file.size()) == body.size(), "size");

  std::vector<Part> parts;
  Require(ReadParts(body, boundary, parts) && parts.size() == 3, "body is not three parts");
  const std::string fileHeader = "Content-Disposition: form-data; name=\"file\"; filename=\"" +
                                 QuotedParameterSafe(filename) + "\"";
  Require(parts[0].headers == "Content-Disposition: form-data; name=\"licenseKey\"" &&
              parts[0].content == key,
          "licenseKey field");
  Require(parts[1].headers == "Content-Disposition: form-data; name=\"filename\"" &&
              parts[1].content == filename,
          "filename field");
  Require(parts[2].headers.substr(0, fileHeader.size()) == fileHeader && parts[2].content == file,
          "file part");
  return 0;
}
