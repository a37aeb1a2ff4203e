#include "core/base64.h"

#include <cstdint>

namespace tideloom {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

uint32_t ByteAt(std::string_view bytes, size_t index) {
  return static_cast<unsigned char>(bytes[index]);
}

} // namespace

std::string Base64Encode(std::string_view bytes) {
  // Written into place rather than appended a character at a time: payloads run to hundreds of
  // megabytes, and every append checks the size and moves the terminator.
  std::string out((bytes.size() + 2) / 3 * 4, '=');
  char* write = out.data();
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group =
        ByteAt(bytes, i) << 16 | ByteAt(bytes, i + 1) << 8 | ByteAt(bytes, i + 2);
    write[0] = kAlphabet[(group >> 18) & 0x3F];
    write[1] = kAlphabet[(group >> 12) & 0x3F];
    write[2] = kAlphabet[(group >> 6) & 0x3F];
    write[3] = kAlphabet[group & 0x3F];
    write += 4;
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    // The padding is in place already.
    const uint32_t group = ByteAt(bytes, i) << 16 | (rest == 2 ? ByteAt(bytes, i + 1) << 8 : 0);
    write[0] = kAlphabet[(group >> 18) & 0x3F];
    write[1] = kAlphabet[(group >> 12) & 0x3F];
    if (rest == 2) write[2] = kAlphabet[(group >> 6) & 0x3F];
  }
  return out;
}

} // namespace tideloom
