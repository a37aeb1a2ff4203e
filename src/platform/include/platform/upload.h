// Sending a whole local file with one POST: wrapped in a multipart form, or as the body alone.
// The file is streamed from disk in pieces while it is sent, so its size does not weigh on memory.
// A file that cannot be opened is reported before any network activity.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/http.h"

namespace tideloom {

inline constexpr std::string_view kMultipartBoundary = "----TideLoomBoundary7MA4YWxkTrZu0gW";

// The largest file, and body, that goes out in one piece.
inline constexpr uint64_t kLargestUpload = 4294967295u;

// The size of the pieces a file is read and scanned in.
inline constexpr std::size_t kUploadPieceSize = 1 << 20;

// Fills `piece` with a file's bytes from `offset` on; false when they cannot be read.
using FilePieceReader = std::function<bool(uint64_t offset, std::span<char> piece)>;

// The boundary for these parts: the fixed one, or the fixed one + "_1", "_2", ... when
// "--" + boundary occurs in any of them. The file is read in pieces of kUploadPieceSize; false
// when a read fails.
bool ChooseBoundary(std::string_view licenseKey, std::string_view filename, uint64_t fileSize,
                    const FilePieceReader& readFile, std::string& boundary);

// The same for a file held in memory.
std::string ChooseBoundary(std::string_view licenseKey, std::string_view filename,
                           std::string_view fileBytes);

// The filename as announced in the file part's quoted parameter: a double quote, CR and LF are
// written as %22, %0D and %0A so that the name cannot end the parameter or the header.
std::string QuotedParameterSafe(std::string_view filename);

// The multipart/form-data body around the file's bytes: `head` holds the fields "licenseKey"
// and "filename" and the file part's header, `tail` closes the body.
struct MultipartFrame {
  std::string head, tail;
};
MultipartFrame FrameMultipart(std::string_view boundary, std::string_view licenseKey,
                              std::string_view filename);

// The byte count of the multipart body around a file of `fileSize` bytes.
uint64_t MultipartBodySize(std::string_view boundary, std::string_view licenseKey,
                           std::string_view filename, uint64_t fileSize);

// POSTs the file at `filePath` as a multipart form with the two text fields.
HttpReply HttpPostMultipart(std::string_view url, std::string_view licenseKey,
                            std::string_view filename, std::string_view filePath);

// POSTs the file at `filePath` as the body, "application/octet-stream".
HttpReply HttpPostFile(std::string_view url, std::string_view filePath);

} // namespace tideloom
