#include "functions/file_http_functions.h"

#include <string_view>

#include "core/base64.h"
#include "core/json.h"
#include "core/parameter_messages.h"
#include "core/utf8.h"
#include "platform/clipboard.h"
#include "platform/http.h"
#include "platform/posix_path.h"
#include "platform/text_file.h"
#include "platform/upload.h"

namespace tideloom {

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

// The reply's body whatever its status, or the message of the failed exchange.
std::string BodyOrError(HttpReply reply) {
  return reply ? std::move(reply.body) : std::move(reply.error);
}

} // namespace

std::string ReadFileFunction(const CalculationCall& call) {
  const std::string& path = Parameter(call, 0);
  if (path.empty()) return std::string(kPathEmpty);
  std::string contents;
  std::string error;
  return ReplyOrError(ReadTextFile(path, contents, error), contents, error);
}

std::string HttpPostFunction(const CalculationCall& call) {
  const std::string& url = Parameter(call, 0);
  if (url.empty()) return std::string(kUrlEmpty);
  const std::string& jsonBody = Parameter(call, 1);
  if (jsonBody.empty()) return std::string(kJsonBodyEmpty);
  return BodyOrError(HttpPostJson(url, jsonBody));
}

std::string PushSnapshotFunction(const CalculationCall& call) {
  const std::string& ingestUrl = Parameter(call, 0);
  if (ingestUrl.empty()) return std::string(kIngestUrlEmpty);
  const std::string& xmlPath = Parameter(call, 1);
  if (xmlPath.empty()) return std::string(kXmlPathEmpty);
  std::string contents;
  std::string error;
  if (!ReadTextFile(xmlPath, contents, error)) return error;

  std::string content = Base64Encode(contents);
  contents = std::string();
  const std::string body = JsonObjectWriter(content.size())
                               .String("content", content)
                               .String("filename", LastPathComponent(xmlPath))
                               .Finish();
  content = std::string();
  return BodyOrError(HttpPostJson(ingestUrl, body));
}

std::string PushScriptFunction(const CalculationCall& call) {
  const std::string& licenseKey = Parameter(call, 0);
  const std::string& bridgeUrl = Parameter(call, 1);
  const std::string& xmlType = Parameter(call, 2);
  const std::string& label = Parameter(call, 3);
  if (licenseKey.empty()) return std::string(kLicenseKeyEmpty);
  if (bridgeUrl.empty()) return std::string(kBridgeUrlEmpty);
  if (xmlType.empty()) return std::string(kXmlTypeEmpty);

  std::string xml;
  std::string error;
  if (!GetXmlClipboard(xmlType, xml, error)) return error;
  if (xml.empty()) return NoXmlOnClipboardMessage(xmlType);

  const std::string body = JsonObjectWriter(xml.size())
                               .String("licenseKey", licenseKey)
                               .String("xmlType", xmlType)
                               .String("xmlContent", xml)
                               .String("label", label)
                               .Finish();
  const HttpReply reply = HttpPostJson(bridgeUrl, body);
  if (!reply) return reply.error;
  // The service's refusal must not read as a completed push.
  if (reply.status < 200 || reply.status > 299) return RefusedPushMessage(reply.status, reply.body);
  return std::string(kOk);
}

std::string PosixPathFunction(const CalculationCall& call) {
  return NativePathFromHostPath(Parameter(call, 0));
}

std::string UploadFileFunction(const CalculationCall& call) {
  const std::string& url = Parameter(call, 0);
  const std::string& licenseKey = Parameter(call, 1);
  const std::string& filename = Parameter(call, 2);
  const std::string& posixPath = Parameter(call, 3);
  return BodyOrError(HttpPostMultipart(url, licenseKey, filename, posixPath));
}

} // namespace tideloom
