// What the peer and its tests agree on besides HTTP itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What arrives as a TLS handshake is recorded under this target, with its first bytes as the
// body: the path of an encrypted request cannot be read.
inline constexpr const char* kTlsTarget = "/tls";

// Bodies cross the peer's JSON control channel as arrays of byte values: JSON text holds only
// UTF-8, and a body may be any bytes.
inline std::vector<unsigned char> ByteValues(std::string_view bytes) {
  return {bytes.begin(), bytes.end()};
}

// Bytes that differ from their neighbours, so a piece sent twice or out of place shows; the
// peer's "bodySize" replies are made of them.
inline std::string Patterned(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(i % 251);
  return bytes;
}
