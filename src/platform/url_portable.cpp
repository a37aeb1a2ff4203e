// The URL rules of WinHTTP's cracker, for platforms without it.
#include "platform/http_failure.h"
#include "platform/text_conversion.h"
#include "platform/url.h"

namespace tideloom {

namespace {

bool EqualsIgnoringAsciiCase(std::u16string_view text, std::u16string_view lowerCase) {
  if (text.size() != lowerCase.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != lowerCase[i]) return false;
  }
  return true;
}

bool ParsePort(std::u16string_view digits, uint16_t& port) {
  if (digits.empty()) return false;
  uint32_t value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + static_cast<uint32_t>(c - u'0');
    if (value > 65535) return false;
  }
  port = static_cast<uint16_t>(value);
  return true;
}

bool IsUsableHost(std::u16string_view host) {
  if (host.empty() || host.size() >= kHostLimit) return false;
  for (char16_t c : host) {
    if (c <= 0x20 || c == 0x7F) return false;
  }
  return true;
}

bool CrackUrl(std::u16string_view url, ParsedUrl& parsed) {
  const std::size_t colon = url.find(u':');
  if (colon == std::u16string_view::npos) return false;
  const std::u16string_view scheme = url.substr(0, colon);
  const bool secure = EqualsIgnoringAsciiCase(scheme, u"https");
  if (!secure && !EqualsIgnoringAsciiCase(scheme, u"http")) return false;

  std::u16string_view rest = url.substr(colon + 1);
  if (rest.substr(0, 2) != u"//") return false;
  rest.remove_prefix(2);

  const std::size_t authorityEnd = rest.find_first_of(u"/?#");
  std::u16string_view authority = rest.substr(0, authorityEnd);
  const std::u16string_view tail =
      authorityEnd == std::u16string_view::npos ? std::u16string_view() : rest.substr(authorityEnd);

  // User name and password are never sent.
  const std::size_t at = authority.rfind(u'@');
  if (at != std::u16string_view::npos) authority.remove_prefix(at + 1);

  std::u16string_view host = authority;
  std::u16string_view portText;
  bool hasPort = false;
  if (!authority.empty() && authority.front() == u'[') {
    const std::size_t close = authority.find(u']');
    if (close == std::u16string_view::npos) return false;
    host = authority.substr(1, close - 1);
    const std::u16string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != u':') return false;
      portText = after.substr(1);
      hasPort = true;
    }
  } else {
    const std::size_t portColon = authority.rfind(u':');
    if (portColon != std::u16string_view::npos) {
      host = authority.substr(0, portColon);
      portText = authority.substr(portColon + 1);
      hasPort = true;
    }
  }
  if (!IsUsableHost(host)) return false;

  uint16_t port = secure ? 443 : 80;
  if (hasPort && !portText.empty() && !ParsePort(portText, port)) return false;

  const std::size_t extraStart = tail.find_first_of(u"?#");
  const std::u16string_view path = tail.substr(0, extraStart);
  const std::u16string_view extra =
      extraStart == std::u16string_view::npos ? std::u16string_view() : tail.substr(extraStart);
  if (path.size() >= kPathLimit || extra.size() >= kExtraLimit) return false;

  parsed.scheme = std::u16string(scheme);
  parsed.host = std::u16string(host);
  parsed.port = port;
  parsed.secure = secure;
  // A bare query still needs a path in the request line.
  parsed.path = path.empty() ? std::u16string(u"/") : std::u16string(path);
  parsed.path += extra;
  return true;
}

} // namespace

bool ParseUrl(std::string_view url, ParsedUrl& parsed, std::string& error) {
  ParsedUrl cracked;
  if (!CrackUrl(Utf8ToWide(url), cracked)) {
    error = UrlParseFailure(url);
    return false;
  }
  parsed = std::move(cracked);
  return true;
}

} // namespace tideloom
