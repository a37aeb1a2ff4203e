// Sending a whole local file with one POST: wrapped in a multipart form, or as the body alone.
// The file is read completely first, so a file that cannot be read is reported before any
// network activity.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tideloom {

inline constexpr std::string_view kMultipartBoundary = "----TideLoomBoundary7MA4YWxkTrZu0gW";

// The largest file, and body, that goes out in one piece.
inline constexpr uint64_t kLargestUpload = 4294967295u;

// The whole file at the UTF-8 `path`. False with a message in `error` when it cannot be read.
bool ReadFileBytes(std::string_view path, std::string& bytes, std::string& error);

// The boundary for these parts: the fixed one, or the fixed one + "_1", "_2", ... when
// "--" + boundary occurs in any of them.
std::string ChooseBoundary(std::string_view licenseKey, std::string_view filename,
                           std::string_view fileBytes);

// The filename as announced in the file part's quoted parameter: a double quote, CR and LF are
// written as %22, %0D and %0A so that the name cannot end the parameter or the header.
std::string QuotedParameterSafe(std::string_view filename);

// The byte count of the multipart body that BuildMultipartBody would make.
uint64_t MultipartBodySize(std::string_view boundary, std::string_view licenseKey,
                           std::string_view filename, uint64_t fileSize);

// The multipart/form-data body: the fields "licenseKey" and "filename", then the file part.
std::string BuildMultipartBody(std::string_view boundary, std::string_view licenseKey,
                               std::string_view filename, std::string_view fileBytes);

// POSTs the file at `filePath` as a multipart form with the two text fields.
bool HttpPostMultipart(std::string_view url, std::string_view licenseKey, std::string_view filename,
                       std::string_view filePath, std::string& reply, std::string& error);

// POSTs the file at `filePath` as the body, "application/octet-stream".
bool HttpPostFile(std::string_view url, std::string_view filePath, std::string& reply,
                  std::string& error);

} // namespace tideloom
