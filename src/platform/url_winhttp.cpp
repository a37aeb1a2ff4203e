// URLs as WinHTTP's cracker reads them: no escaping, no unescaping, fixed buffers.
#include <windows.h>
#include <winhttp.h>

#include <array>

#include "platform/http_failure.h"
#include "platform/text_conversion.h"
#include "platform/url.h"

namespace tideloom {

bool ParseUrl(std::string_view url, ParsedUrl& parsed, std::string& error) {
  const std::u16string wide = Utf8ToWide(url);
  std::array<wchar_t, kSchemeLimit> scheme{};
  std::array<wchar_t, kHostLimit> host{};
  std::array<wchar_t, kPathLimit> path{};
  std::array<wchar_t, kExtraLimit> extra{};

  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.lpszScheme = scheme.data();
  parts.dwSchemeLength = static_cast<DWORD>(scheme.size());
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = static_cast<DWORD>(host.size());
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(path.size());
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());

  if (!WinHttpCrackUrl(reinterpret_cast<const wchar_t*>(wide.c_str()), 0, 0, &parts)) {
    error = UrlParseFailure(url);
    return false;
  }
  ParsedUrl cracked;
  cracked.scheme.assign(reinterpret_cast<const char16_t*>(scheme.data()), parts.dwSchemeLength);
  cracked.host.assign(reinterpret_cast<const char16_t*>(host.data()), parts.dwHostNameLength);
  cracked.port = parts.nPort;
  cracked.path.assign(reinterpret_cast<const char16_t*>(path.data()), parts.dwUrlPathLength);
  cracked.path.append(reinterpret_cast<const char16_t*>(extra.data()), parts.dwExtraInfoLength);
  if (cracked.path.empty()) cracked.path = u"/";
  // The cracker already knows the scheme regardless of its letter case.
  cracked.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  parsed = std::move(cracked);
  return true;
}

} // namespace tideloom
