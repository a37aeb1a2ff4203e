// Payload scans eight bytes at a time, in portable C++: each test sets the high bit of every byte
// it matches. A borrow may flag bytes above the first true match wrongly, so only the lowest flag
// of a word may be trusted.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tideloom {

static_assert(std::endian::native == std::endian::little, "the byte order of the scans");

inline constexpr uint64_t kEachByte = 0x0101010101010101ull;
inline constexpr uint64_t kHighBits = 0x8080808080808080ull;

inline uint64_t WordAt(const void* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

constexpr uint64_t BytesEqualTo(uint64_t word, unsigned char byte) {
  const uint64_t difference = word ^ (kEachByte * byte);
  return (difference - kEachByte) & ~difference & kHighBits;
}

constexpr uint64_t BytesBelow(uint64_t word, unsigned char bound) {
  return (word - kEachByte * bound) & ~word & kHighBits;
}

// The index of the lowest flagged byte.
inline std::size_t FirstFlagged(uint64_t flags) {
  return static_cast<std::size_t>(std::countr_zero(flags)) / 8;
}

} // namespace tideloom
