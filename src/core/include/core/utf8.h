// UTF-8 byte helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tideloom {

// Writes the UTF-8 form of `codePoint` at `to`, which has room for four bytes; returns its end.
inline char* WriteUtf8(char* to, uint32_t codePoint) {
  const auto put = [&to](uint32_t byte) { *to++ = static_cast<char>(byte); };
  if (codePoint < 0x80) {
    put(codePoint);
  } else if (codePoint < 0x800) {
    put(0xC0 | (codePoint >> 6));
    put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    put(0xE0 | (codePoint >> 12));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  } else {
    put(0xF0 | (codePoint >> 18));
    put(0x80 | ((codePoint >> 12) & 0x3F));
    put(0x80 | ((codePoint >> 6) & 0x3F));
    put(0x80 | (codePoint & 0x3F));
  }
  return to;
}

inline void AppendUtf8(std::string& out, uint32_t codePoint) {
  char bytes[4];
  out.append(bytes, static_cast<std::size_t>(WriteUtf8(bytes, codePoint) - bytes));
}

// At a byte of 0x80 or above: the length of the well-formed UTF-8 sequence that starts there, or 0
// when it is ill-formed; then `invalidLength` is the length of its maximal subpart (at least 1),
// the bytes that one replacement character stands for.
inline std::size_t Utf8SequenceAt(std::string_view text, std::size_t at,
                                  std::size_t& invalidLength) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80; // the range of the second byte; later ones are 80..BF
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;  // no overlong forms
    if (lead == 0xED) high = 0x9F; // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F; // nothing past U+10FFFF
  } else {
    invalidLength = 1;
    return 0;
  }
  std::size_t k = 1;
  for (; k < length && at + k < text.size(); ++k) {
    const unsigned char next = byte(at + k);
    if (k == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xBF)) break;
  }
  if (k == length) return length;
  invalidLength = k;
  return 0;
}

// At most `limit` bytes of `text`, never ending inside a UTF-8 character: the cut backs up over
// at most three continuation bytes.
inline std::string_view WholeCharacterPrefix(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  const auto isContinuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
  for (int back = 0; back < 3 && end > 0 && isContinuation(text[end]); ++back)
    --end;
  return text.substr(0, end);
}

} // namespace tideloom
