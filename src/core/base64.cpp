#include "core/base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace tideloom {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The two characters of every 12-bit value, so that three bytes take two look-ups.
constexpr std::array<std::array<char, 2>, 4096> kPairs = [] {
  std::array<std::array<char, 2>, 4096> pairs{};
  for (int value = 0; value < 4096; ++value)
    pairs[value] = {kAlphabet[value >> 6], kAlphabet[value & 0x3F]};
  return pairs;
}();

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
    std::memcpy(write, kPairs[group >> 12].data(), 2);
    std::memcpy(write + 2, kPairs[group & 0xFFF].data(), 2);
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
