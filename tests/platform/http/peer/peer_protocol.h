// What the peer and its tests agree on besides HTTP itself.
#pragma once

#include <string>
#include <string_view>

// What arrives as a TLS handshake is recorded under this target, with its first bytes as the
// body: the path of an encrypted request cannot be read.
inline constexpr const char* kTlsTarget = "/tls";

// Bodies cross the peer's JSON control channel as lower-case hex text.
inline std::string Hex(std::string_view bytes) {
  std::string text;
  for (unsigned char c : bytes)
    text += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
  return text;
}

inline std::string Unhex(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  return bytes;
}

// Bytes that differ from their neighbours, so a piece sent twice or out of place shows; the
// peer's "bodySize" replies are made of them.
inline std::string Patterned(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(i % 251);
  return bytes;
}
