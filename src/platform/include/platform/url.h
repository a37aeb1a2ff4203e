// Splitting a request URL into what a connection needs. The same URL is accepted or refused on
// every platform: the Windows back end asks WinHTTP's cracker, the portable one follows the same
// rules and buffer limits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tideloom {

struct ParsedUrl {
  std::u16string scheme; // as written
  std::u16string host;   // without the brackets of an IPv6 literal
  uint16_t port = 443;
  std::u16string path; // path, query and fragment; "/" when all are empty
  bool secure = false; // https in any letter case
};

// The parts' limits in UTF-16 units, the terminating NUL included.
inline constexpr std::size_t kSchemeLimit = 16;
inline constexpr std::size_t kHostLimit = 256;
inline constexpr std::size_t kPathLimit = 2048;
inline constexpr std::size_t kExtraLimit = 2048;

// False with "Failed to parse URL: " + url in `error` for a malformed URL, a scheme other than
// http or https, or a part too long for its limit.
bool ParseUrl(std::string_view url, ParsedUrl& parsed, std::string& error);

} // namespace tideloom
