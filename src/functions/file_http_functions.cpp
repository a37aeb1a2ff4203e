#include "functions/file_http_functions.h"

#include <string_view>

#include "core/base64.h"
#include "core/json.h"
#include "core/parameter_messages.h"
#include "functions/posix_path.h"
#include "platform/clipboard.h"
#include "platform/http.h"
#include "platform/text_file.h"
#include "platform/upload.h"

namespace {

constexpr std::string_view kPathEmpty = "ERROR: path is empty.";
constexpr std::string_view kUrlEmpty = "ERROR: url is empty.";
constexpr std::string_view kJsonBodyEmpty = "ERROR: jsonBody is empty.";
constexpr std::string_view kIngestUrlEmpty = "ERROR: ingestUrl is empty.";
constexpr std::string_view kXmlPathEmpty = "ERROR: xmlPath is empty.";
constexpr std::string_view kBridgeUrlEmpty = "ERROR: bridgeUrl is empty.";
constexpr std::string_view kOk = "OK";
constexpr std::size_t kRefusalExcerptBytes = 300;

std::string NoXmlOnClipboardMessage(std::string_view xmlType) {
  std::string message = "ERROR: No ";
  message += xmlType;
  message += " XML on clipboard. Copy the FM object first.";
  return message;
}

// At most `limit` bytes of `text`, never ending inside a UTF-8 character.
std::string_view WholeCharacterPrefix(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  const auto isContinuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
  for (int back = 0; back < 3 && end > 0 && isContinuation(text[end]); ++back)
    --end;
  return text.substr(0, end);
}

std::string RefusedPushMessage(int status, std::string_view replyBody) {
  std::string message = "ERROR: HTTP ";
  message += std::to_string(status);
  message += ": ";
  message += WholeCharacterPrefix(replyBody, kRefusalExcerptBytes);
  return message;
}

// The part after the last "/"; a backslash does not separate here.
std::string_view LastPathComponent(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string ReplyOrError(bool sent, std::string& reply, std::string& error) {
  return sent ? std::move(reply) : std::move(error);
}

} // namespace

std::string ReadFileFunction(const CalculationCall& call) {
  const std::string path = Parameter(call, 0);
  if (path.empty()) return std::string(kPathEmpty);
  std::string contents;
  std::string error;
  return ReplyOrError(ReadTextFile(path, contents, error), contents, error);
}

std::string HttpPostFunction(const CalculationCall& call) {
  const std::string url = Parameter(call, 0);
  if (url.empty()) return std::string(kUrlEmpty);
  const std::string jsonBody = Parameter(call, 1);
  if (jsonBody.empty()) return std::string(kJsonBodyEmpty);
  std::string reply;
  std::string error;
  return ReplyOrError(HttpPostJson(url, jsonBody, reply, error), reply, error);
}

std::string PushSnapshotFunction(const CalculationCall& call) {
  const std::string ingestUrl = Parameter(call, 0);
  if (ingestUrl.empty()) return std::string(kIngestUrlEmpty);
  const std::string xmlPath = Parameter(call, 1);
  if (xmlPath.empty()) return std::string(kXmlPathEmpty);
  std::string contents;
  std::string error;
  if (!ReadTextFile(xmlPath, contents, error)) return error;

  std::string body = "{\"content\":\"";
  body += Base64Encode(contents);
  contents = std::string();
  body += "\",\"filename\":\"";
  body += JsonEscape(LastPathComponent(xmlPath));
  body += "\"}";
  std::string reply;
  return ReplyOrError(HttpPostJson(ingestUrl, body, reply, error), reply, error);
}

std::string PushScriptFunction(const CalculationCall& call) {
  const std::string licenseKey = Parameter(call, 0);
  const std::string bridgeUrl = Parameter(call, 1);
  const std::string xmlType = Parameter(call, 2);
  const std::string label = Parameter(call, 3);
  if (licenseKey.empty()) return std::string(kLicenseKeyEmpty);
  if (bridgeUrl.empty()) return std::string(kBridgeUrlEmpty);
  if (xmlType.empty()) return std::string(kXmlTypeEmpty);

  std::string xml;
  std::string error;
  if (!GetXmlClipboard(xmlType, xml, error)) return error;
  if (xml.empty()) return NoXmlOnClipboardMessage(xmlType);

  std::string body = "{\"licenseKey\":\"";
  body += JsonEscape(licenseKey);
  body += "\",\"xmlType\":\"";
  body += JsonEscape(xmlType);
  body += "\",\"xmlContent\":\"";
  body += JsonEscape(xml);
  body += "\",\"label\":\"";
  body += JsonEscape(label);
  body += "\"}";
  std::string reply;
  int status = 0;
  if (!HttpPostJson(bridgeUrl, body, reply, error, &status)) return error;
  // The service's refusal must not read as a completed push.
  if (status < 200 || status > 299) return RefusedPushMessage(status, reply);
  return std::string(kOk);
}

std::string PosixPathFunction(const CalculationCall& call) {
  return NativePathFromHostPath(Parameter(call, 0));
}

std::string UploadFileFunction(const CalculationCall& call) {
  const std::string url = Parameter(call, 0);
  const std::string licenseKey = Parameter(call, 1);
  const std::string filename = Parameter(call, 2);
  const std::string posixPath = Parameter(call, 3);
  std::string reply;
  std::string error;
  return ReplyOrError(HttpPostMultipart(url, licenseKey, filename, posixPath, reply, error), reply,
                      error);
}
