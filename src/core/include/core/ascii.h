// ASCII letter case and hex digits. The host and the service compare names without regard to
// ASCII case only; bytes of other scripts compare exactly.
#pragma once

#include <string>
#include <string_view>

namespace tideloom {

inline constexpr std::string_view kLowerHexDigits = "0123456789abcdef";
inline constexpr std::string_view kUpperHexDigits = "0123456789ABCDEF";

inline constexpr char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FoldAsciiCase(std::string_view text);
bool EqualIgnoringAsciiCase(std::string_view left, std::string_view right);

} // namespace tideloom
