#include "engine/calc_text.h"

#include <algorithm>

namespace fmhost {
namespace {

constexpr std::string_view kFileExtension = ".fmp12";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Decodes UTF-8 leniently: a byte that starts no valid sequence stands for itself, so that any
// input can be compared without loss.
std::vector<uint32_t> DecodeCodePoints(std::string_view text) {
  std::vector<uint32_t> points;
  points.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    uint32_t point = lead;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      point = lead & 0x07;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
      } else {
        point = (point << 6) | (next & 0x3F);
      }
    }
    if (valid) {
      points.push_back(point);
      i += length;
    } else {
      points.push_back(lead | 0x80000000u); // marked so it never equals a real code point
      ++i;
    }
  }
  return points;
}

uint32_t FoldCodePoint(uint32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs upper/lower as even/odd, except in 0x138-0x148 and 0x179-0x17E
    // where the pairs start on odd code points.
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddPairs) return (c % 2 == 1) ? c + 1 : c;
    if (c == 0x178) return 0xFF;
    if (c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

} // namespace

std::string FoldAsciiCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded)
    c = LowerAscii(c);
  return folded;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string FileNameKey(std::string_view name) {
  std::string key = FoldAsciiCase(name);
  if (key.size() > kFileExtension.size() && key.ends_with(kFileExtension)) {
    key.resize(key.size() - kFileExtension.size());
  }
  return key;
}

std::string NumberLiteralText(std::string_view literal) {
  const std::size_t point = literal.find('.');
  std::string_view whole = literal.substr(0, point);
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : literal.substr(point + 1);
  while (!whole.empty() && whole.front() == '0')
    whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0')
    fraction.remove_suffix(1);
  std::string text = whole.empty() ? "0" : std::string(whole);
  if (!fraction.empty()) {
    text += '.';
    text += fraction;
  }
  return text;
}

bool IntegerFromText(std::string_view text, uint32_t& value) {
  uint64_t number = 0;
  bool sawDigit = false;
  bool negative = false;
  for (const char c : text) {
    if (c == '.') break;
    if (c == '-' && !sawDigit) negative = true;
    if (c < '0' || c > '9') continue;
    sawDigit = true;
    number = number * 10 + static_cast<uint64_t>(c - '0');
    if (number > 0xFFFFFFFFull) return false;
  }
  if (!sawDigit || negative) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendCodePoint(std::string& out, uint32_t c) {
  if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return;
  AppendUtf8(out, c);
}

std::size_t CountOccurrencesIgnoringCase(std::string_view text, std::string_view pattern) {
  std::vector<uint32_t> haystack = DecodeCodePoints(text);
  std::vector<uint32_t> needle = DecodeCodePoints(pattern);
  if (needle.empty() || needle.size() > haystack.size()) return 0;
  std::transform(haystack.begin(), haystack.end(), haystack.begin(), FoldCodePoint);
  std::transform(needle.begin(), needle.end(), needle.begin(), FoldCodePoint);
  std::size_t count = 0;
  auto from = haystack.begin();
  while (true) {
    from = std::search(from, haystack.end(), needle.begin(), needle.end());
    if (from == haystack.end()) break;
    ++count;
    from += static_cast<std::ptrdiff_t>(needle.size());
  }
  return count;
}

std::string JoinValueList(const std::vector<std::string>& values) {
  std::string joined;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) joined += kValueSeparator;
    joined += values[i];
  }
  return joined;
}

} // namespace fmhost
