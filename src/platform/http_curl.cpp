// The HTTP client over libcurl, behaving as the WinHTTP client does: same time-outs, user agent,
// URL rules, redirects and step names in its messages.
#include <algorithm>
#include <cstdint>
#include <curl/curl.h>
#include <mutex>

#include "core/ascii.h"
#include "platform/http.h"
#include "platform/http_body.h"
#include "platform/http_failure.h"
#include "platform/text_conversion.h"
#include "platform/url.h"

namespace tideloom {

namespace {

constexpr long kConnectTimeoutMs = 60000; // name resolution plus connect, as 30 s + 30 s
constexpr long kStallSeconds = 120;       // as the send and receive time-outs
constexpr int kMaxRedirects = 10;
// A streamed body is read in pieces this large, as WinHTTP writes them: fewer, larger reads and
// sends keep a large upload close to the speed of the disk and the link.
constexpr long kUploadPieceBytes = 1L << 20;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlHandle {
  CURL* handle = curl_easy_init();
  CurlHandle() = default;
  CurlHandle(const CurlHandle&) = delete;
  CurlHandle& operator=(const CurlHandle&) = delete;
  ~CurlHandle() {
    if (handle != nullptr) curl_easy_cleanup(handle);
  }
};

struct CurlHeaderList {
  curl_slist* list = nullptr;
  CurlHeaderList() = default;
  CurlHeaderList(const CurlHeaderList&) = delete;
  CurlHeaderList& operator=(const CurlHeaderList&) = delete;
  ~CurlHeaderList() { curl_slist_free_all(list); }
  bool Append(const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (grown == nullptr) return false;
    list = grown;
    return true;
  }
};

// What one hop of the exchange has sent and seen so far.
struct Transfer {
  const BodySource* source = nullptr;
  uint64_t sent = 0;
  std::string sourceError; // set when the body source failed, and then the request's message
  bool sourceFailed = false;
  std::string body;
  bool finalHeadSeen = false; // a non-1xx reply head has ended: failures now are body failures
  long headStatus = 0;
};

size_t SupplyBody(char* buffer, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const uint64_t left = transfer->source->size - transfer->sent;
  const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(size * count, left));
  try {
    if (!transfer->source->read(transfer->sent, {buffer, want}, transfer->sourceError)) {
      transfer->sourceFailed = true;
      return CURL_READFUNC_ABORT;
    }
  } catch (...) {
    return CURL_READFUNC_ABORT; // ends the transfer instead of throwing through C
  }
  transfer->sent += want;
  return want;
}

constexpr std::string_view kContentLength = "content-length:";

// The value of a Content-Length line; anything but blanks and digits ends it.
uint64_t AnnouncedLength(std::string_view value) {
  uint64_t length = 0;
  for (const char c : value) {
    if (c >= '0' && c <= '9') {
      if (length > (UINT64_MAX - 9) / 10) return UINT64_MAX;
      length = length * 10 + static_cast<uint64_t>(c - '0');
    } else if (length != 0 || (c != ' ' && c != '\t')) {
      break;
    }
  }
  return length;
}

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  try {
    transfer->body.append(data, size * count);
  } catch (...) {
    return 0; // ends the transfer with a write error instead of throwing through C
  }
  return size * count;
}

size_t WatchHead(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  if (line.substr(0, 5) == "HTTP/") {
    const std::size_t space = line.find(' ');
    long status = 0;
    for (std::size_t i = space == std::string_view::npos ? line.size() : space + 1;
         i < line.size() && line[i] >= '0' && line[i] <= '9' && status < 1000; ++i) {
      status = status * 10 + (line[i] - '0');
    }
    transfer->headStatus = status;
  } else if ((line == "\r\n" || line == "\n") && transfer->headStatus >= 200) {
    transfer->finalHeadSeen = true;
  } else if (transfer->headStatus >= 200 &&
             EqualIgnoringAsciiCase(line.substr(0, kContentLength.size()), kContentLength)) {
    ReserveAnnouncedBody(transfer->body, AnnouncedLength(line.substr(kContentLength.size())));
  }
  return size * count;
}

// Characters WinHTTP escapes in the object name are escaped here too, so libcurl accepts them.
std::string RequestTarget(std::u16string_view path) {
  const std::string bytes = WideToUtf8(path);
  std::string target;
  target.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c <= 0x20 || c >= 0x7F) {
      target += '%';
      target += kUpperHexDigits[c >> 4];
      target += kUpperHexDigits[c & 0x0F];
    } else {
      target += static_cast<char>(c);
    }
  }
  return target;
}

std::string CurlUrl(const ParsedUrl& url) {
  std::string text = url.secure ? "https://" : "http://";
  const std::string host = WideToUtf8(url.host);
  if (host.find(':') != std::string::npos) {
    text += '[' + host + ']';
  } else {
    text += host;
  }
  text += ':' + std::to_string(url.port);
  text += RequestTarget(url.path);
  return text;
}

struct Hop {
  std::string method;
  std::string url;
  std::string_view contentType;
  std::string_view body;
  const BodySource* source; // when set, the body is read from it instead
};

CURLcode ConfigureHop(CURL* curl, const Hop& hop, CurlHeaderList& headers, Transfer& transfer) {
  CURLcode code = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (code == CURLE_OK) code = curl_easy_setopt(curl, option, value);
  };
  set(CURLOPT_URL, hop.url.c_str());
  set(CURLOPT_HTTPHEADER, headers.list);
  set(CURLOPT_WRITEFUNCTION, &CollectBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
  set(CURLOPT_HEADERFUNCTION, &WatchHead);
  set(CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
  if (hop.method == "GET" && hop.body.empty() && hop.source == nullptr) {
    set(CURLOPT_HTTPGET, 1L);
    set(CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
  } else if (hop.source != nullptr) {
    // The length goes up front, as for an in-memory body: no chunked encoding.
    transfer.source = hop.source;
    set(CURLOPT_POST, 1L);
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(hop.source->size));
    set(CURLOPT_READFUNCTION, &SupplyBody);
    set(CURLOPT_READDATA, static_cast<void*>(&transfer));
    set(CURLOPT_UPLOAD_BUFFERSIZE, kUploadPieceBytes);
    set(CURLOPT_CUSTOMREQUEST, hop.method == "POST" ? nullptr : hop.method.c_str());
  } else {
    set(CURLOPT_POST, 1L);
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(hop.body.size()));
    set(CURLOPT_POSTFIELDS, hop.body.empty() ? "" : hop.body.data());
    set(CURLOPT_CUSTOMREQUEST, hop.method == "POST" ? nullptr : hop.method.c_str());
  }
  return code;
}

CURLcode ConfigureSession(CURL* curl) {
  CURLcode code = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (code == CURLE_OK) code = curl_easy_setopt(curl, option, value);
  };
  set(CURLOPT_NOSIGNAL, 1L); // many threads call this; signals would reach the host
  set(CURLOPT_USERAGENT, "TideLoom/1.0");
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_FORBID_REUSE, 1L);
  set(CURLOPT_FRESH_CONNECT, 1L);
  set(CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  set(CURLOPT_LOW_SPEED_LIMIT, 1L);
  set(CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  // Redirects are followed one by one below, to apply WinHTTP's policy to each.
  set(CURLOPT_FOLLOWLOCATION, 0L);
  return code;
}

bool BuildHeaders(std::string_view contentType, CurlHeaderList& headers) {
  // Empty values keep libcurl from adding headers of its own.
  return headers.Append("Accept:") && headers.Append("Expect:") &&
         headers.Append(contentType.empty() ? std::string("Content-Type:")
                                            : "Content-Type: " + std::string(contentType));
}

// The next hop of a redirect, or false when the reply is final: WinHTTP does not follow a
// redirect from https to http, nor to a URL it cannot use, and hands back the 3xx reply.
bool NextHop(CURL* curl, long status, bool fromSecure, Hop& hop, bool& toSecure) {
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) {
    return false;
  }
  char* location = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location) != CURLE_OK ||
      location == nullptr) {
    return false;
  }
  ParsedUrl target;
  std::string ignored;
  if (!ParseUrl(location, target, ignored)) return false;
  if (fromSecure && !target.secure) return false;
  hop.url = CurlUrl(target);
  toSecure = target.secure;
  if (status != 307 && status != 308 && hop.method != "GET") {
    hop.method = "GET";
    hop.body = {};
    hop.source = nullptr;
    hop.contentType = {};
  }
  return true;
}

} // namespace

bool ExchangeOverBackEnd(std::string_view method, std::string_view url,
                         std::string_view contentType, std::string_view body,
                         const BodySource* source, std::string& reply, std::string& error,
                         int* statusCode, int64_t limitMs) {
  ParsedUrl parsed;
  if (!ParseUrl(url, parsed, error)) return false;

  InitCurlOnce();
  CurlHandle curl;
  if (curl.handle == nullptr) {
    error = FailedStepMessage(kStepOpen, CURLE_FAILED_INIT);
    return false;
  }
  CURLcode sessionCode = ConfigureSession(curl.handle);
  if (sessionCode == CURLE_OK && limitMs > 0) {
    sessionCode = curl_easy_setopt(curl.handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limitMs));
  }
  if (const CURLcode code = sessionCode; code != CURLE_OK) {
    error = FailedStepMessage(kStepOpen, code);
    return false;
  }

  Hop hop{std::string(method), CurlUrl(parsed), contentType, body, source};
  bool secure = parsed.secure;
  for (int redirects = 0;; ++redirects) {
    CurlHeaderList headers;
    Transfer transfer;
    if (!BuildHeaders(hop.contentType, headers)) {
      error = FailedStepMessage(kStepOpenRequest, CURLE_OUT_OF_MEMORY);
      return false;
    }
    if (const CURLcode code = ConfigureHop(curl.handle, hop, headers, transfer); code != CURLE_OK) {
      error = FailedStepMessage(kStepOpenRequest, code);
      return false;
    }
    if (const CURLcode code = curl_easy_perform(curl.handle); code != CURLE_OK) {
      error = transfer.sourceFailed
                  ? std::move(transfer.sourceError)
                  : FailedStepMessage(transfer.finalHeadSeen ? kStepRead : kStepSend, code);
      return false;
    }
    long status = 0;
    curl_easy_getinfo(curl.handle, CURLINFO_RESPONSE_CODE, &status);
    bool nextSecure = secure;
    if (!NextHop(curl.handle, status, secure, hop, nextSecure)) {
      reply = std::move(transfer.body);
      if (statusCode != nullptr) *statusCode = static_cast<int>(status);
      return true;
    }
    if (redirects == kMaxRedirects) {
      error = FailedStepMessage(kStepSend, CURLE_TOO_MANY_REDIRECTS);
      return false;
    }
    secure = nextSecure;
  }
}

} // namespace tideloom
