// What the peer and its tests agree on besides HTTP itself.
#pragma once

#include <string>
#include <string_view>

// What arrives as a TLS handshake is recorded under this target, with its first bytes as the
// body: the path of an encrypted request cannot be read.
inline constexpr const char* kTlsTarget = "/tls";

// Bytes as lower-case hex text and back: how bodies cross the peer's JSON control channel.

inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) {
    text += kDigits[c >> 4];
    text += kDigits[c & 15];
  }
  return text;
}

inline std::string Unhex(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  return bytes;
}
