// The HTTP client over WinHTTP: one session, one connection and one request per call.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "platform/http.h"
#include "platform/http_body.h"
#include "platform/http_failure.h"
#include "platform/text_conversion.h"
#include "platform/url.h"

namespace tideloom {

namespace {

// Closes one WinHTTP handle. Declared in creation order, so they close request first, then
// connection, then session.
struct InternetHandle {
  HINTERNET handle = nullptr;
  explicit InternetHandle(HINTERNET h) : handle(h) {}
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  ~InternetHandle() {
    if (handle != nullptr) WinHttpCloseHandle(handle);
  }
};

// Reads the thread's last error before anything else can change it.
std::string FormatWindowsError(std::string_view operation) {
  const DWORD code = GetLastError();
  return FailedStepMessage(operation, code);
}

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The reply's Content-Length, or false when it announced none.
bool AnnouncedLength(HINTERNET request, uint64_t& length) {
  wchar_t buffer[32] = {};
  DWORD size = sizeof(buffer);
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                           buffer, &size, WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  uint64_t value = 0;
  bool digits = false;
  for (const wchar_t* c = buffer; *c >= L'0' && *c <= L'9'; ++c) {
    if (value > (UINT64_MAX - 9) / 10) return false;
    value = value * 10 + static_cast<uint64_t>(*c - L'0');
    digits = true;
  }
  length = value;
  return digits;
}

int StatusCode(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  return static_cast<int>(status);
}

// The whole body, or false with the message: a reply cut off is not a complete reply.
// WinHTTP's time-outs bound each receive, not the whole reply: a reply that trickles a byte
// inside each would never end, so the elapsed time is checked between reads.
bool ReadBody(HINTERNET request, std::chrono::steady_clock::time_point deadline,
              std::string& collected, std::string& error) {
  uint64_t announced = 0;
  if (AnnouncedLength(request, announced)) ReserveAnnouncedBody(collected, announced);
  for (;;) {
    if (std::chrono::steady_clock::now() > deadline) {
      error = FailedStepMessage(kStepRead, ERROR_WINHTTP_TIMEOUT);
      return false;
    }
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) {
      error = FormatWindowsError(kStepRead);
      return false;
    }
    if (available == 0) break;
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!WinHttpReadData(request, chunk.data(), available, &read)) {
      error = FormatWindowsError(kStepRead);
      return false;
    }
    collected.append(chunk.data(), read);
  }
  if (AnnouncedLength(request, announced) && collected.size() < announced) {
    error = FailedStepMessage(kStepRead, kConnectionBrokenCode);
    return false;
  }
  return true;
}

// The pieces a streamed body is written in: large enough to keep the connection busy, small
// enough not to weigh on the host's memory.
constexpr std::size_t kPieceSize = 1 << 20;
// As many sends as the redirects WinHTTP follows by default.
constexpr int kMaxSends = 10;

// Sends the request with the source's length announced and writes its bytes in pieces. False
// with the message: the source's own when it failed, which leaves the request cut off for the
// caller to close.
bool SendStreamed(HINTERNET request, const std::u16string& headers, const BodySource& source,
                  std::string& error) {
  const DWORD length = static_cast<DWORD>(source.size);
  if (!WinHttpSendRequest(request, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : Wide(headers),
                          headers.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0,
                          length, 0)) {
    error = FormatWindowsError(kStepSend);
    return false;
  }
  std::string piece(static_cast<std::size_t>(std::min<uint64_t>(source.size, kPieceSize)), '\0');
  for (uint64_t sent = 0; sent < source.size;) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<uint64_t>(source.size - sent, kPieceSize));
    if (!source.read(sent, {piece.data(), want}, error)) return false;
    for (std::size_t written = 0; written < want;) {
      DWORD wrote = 0;
      if (!WinHttpWriteData(request, piece.data() + written, static_cast<DWORD>(want - written),
                            &wrote) ||
          wrote == 0) {
        error = FormatWindowsError(kStepSend);
        return false;
      }
      written += wrote;
    }
    sent += want;
  }
  return true;
}

// Sends the request and waits for the reply's head. WinHTTP follows redirects itself; a body it
// did not hold (one written in pieces) it asks to be sent again, and a 307 or 308 then gets it.
bool SendAndReceive(HINTERNET request, const std::u16string& headers, std::string_view body,
                    const BodySource* source, std::string& error) {
  if (source == nullptr) {
    // WinHttpSendRequest takes the body as non-const data it does not write to.
    void* data = body.empty() ? nullptr : const_cast<char*>(body.data());
    const DWORD length = static_cast<DWORD>(body.size());
    if (!WinHttpSendRequest(
            request, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : Wide(headers),
            headers.empty() ? 0 : static_cast<DWORD>(-1L), data, length, length, 0) ||
        !WinHttpReceiveResponse(request, nullptr)) {
      error = FormatWindowsError(kStepSend);
      return false;
    }
    return true;
  }
  for (int sends = 0;; ++sends) {
    if (!SendStreamed(request, headers, *source, error)) return false;
    if (WinHttpReceiveResponse(request, nullptr)) return true;
    if (GetLastError() != ERROR_WINHTTP_RESEND_REQUEST || sends == kMaxSends) {
      error = FormatWindowsError(kStepSend);
      return false;
    }
  }
}

} // namespace

bool ExchangeOverBackEnd(std::string_view method, std::string_view url,
                         std::string_view contentType, std::string_view body,
                         const BodySource* source, std::string& reply, std::string& error,
                         int* statusCode, int64_t limitMs) {
  const auto deadline = limitMs > 0
                            ? std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs)
                            : std::chrono::steady_clock::time_point::max();
  ParsedUrl parsed;
  if (!ParseUrl(url, parsed, error)) return false;

  InternetHandle session(WinHttpOpen(L"TideLoom/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                     WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (session.handle == nullptr) {
    error = FormatWindowsError(kStepOpen);
    return false;
  }
  WinHttpSetTimeouts(session.handle, 30000, 30000, 120000, 120000);

  InternetHandle connection(WinHttpConnect(session.handle, Wide(parsed.host), parsed.port, 0));
  if (connection.handle == nullptr) {
    error = FormatWindowsError(kStepConnect);
    return false;
  }

  const std::u16string verb = Utf8ToWide(method);
  InternetHandle request(WinHttpOpenRequest(
      connection.handle, Wide(verb), Wide(parsed.path), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES, parsed.secure ? WINHTTP_FLAG_SECURE : 0));
  if (request.handle == nullptr) {
    error = FormatWindowsError(kStepOpenRequest);
    return false;
  }

  std::u16string headers;
  if (!contentType.empty()) headers = u"Content-Type: " + Utf8ToWide(contentType) + u"\r\n";
  if ((source != nullptr ? source->size : body.size()) > MAXDWORD) {
    error = FailedStepMessage(kStepSend, ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!SendAndReceive(request.handle, headers, body, source, error)) return false;

  std::string collected;
  if (!ReadBody(request.handle, deadline, collected, error)) return false;
  const int status = StatusCode(request.handle);
  reply = std::move(collected);
  if (statusCode != nullptr) *statusCode = status;
  return true;
}

} // namespace tideloom
