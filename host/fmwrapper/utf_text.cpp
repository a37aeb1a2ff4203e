#include "utf_text.h"

#include <algorithm>
#include <cstdint>

#include "engine/calc_text.h"

namespace fmhost {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the character at index i; returns its code point (U+FFFD for an ill-formed
// subpart) and advances i past what was consumed. The ranges are those of well-formed UTF-8:
// no overlong forms, no surrogates, nothing past U+10FFFF.
char32_t DecodeUtf8(std::string_view bytes, std::size_t& i) {
  const auto byte = [&](std::size_t at) { return static_cast<uint8_t>(bytes[at]); };
  const uint8_t lead = byte(i++);
  if (lead < 0x80) return lead;
  int trailing = 0;
  char32_t codePoint = 0;
  uint8_t low = 0x80, high = 0xBF; // allowed range of the first trailing byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    trailing = 1;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailing = 2;
    codePoint = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailing = 3;
    codePoint = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < trailing; ++k) {
    if (i >= bytes.size()) return kReplacement;
    const uint8_t next = byte(i);
    if (next < low || next > high) return kReplacement; // the offending byte starts anew
    low = 0x80;
    high = 0xBF;
    codePoint = (codePoint << 6) | (next & 0x3F);
    ++i;
  }
  return codePoint;
}

// Decodes the character at index i of UTF-16 units and advances i.
char32_t DecodeUtf16(std::u16string_view units, std::size_t& i) {
  const char16_t first = units[i++];
  if (first < 0xD800 || first > 0xDFFF) return first;
  if (first <= 0xDBFF && i < units.size() && units[i] >= 0xDC00 && units[i] <= 0xDFFF) {
    const char16_t second = units[i++];
    return 0x10000 + ((static_cast<char32_t>(first) - 0xD800) << 10) + (second - 0xDC00);
  }
  return kReplacement;
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const char32_t codePoint = DecodeUtf8(bytes, i);
    if (codePoint < 0x10000) {
      out += static_cast<char16_t>(codePoint);
    } else {
      out += static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8Within(std::u16string_view units, std::size_t maxBytes) {
  // Reserved at the most a unit can need, so that a large text is never moved while it grows;
  // room it does not use is never touched.
  std::string out;
  out.reserve(std::min(maxBytes, units.size() * 3));
  for (std::size_t i = 0; i < units.size();) {
    const std::size_t before = out.size();
    AppendUtf8(out, DecodeUtf16(units, i));
    if (out.size() > maxBytes) {
      out.resize(before);
      break;
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  return Utf16ToUtf8Within(units, std::string::npos);
}

std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();)
    AppendUtf8(out, DecodeUtf8(bytes, i));
  return out;
}

} // namespace fmhost
