#include "core/json.h"

#include "platform/utf8_encoding.h"

#include <cstdint>
#include <optional>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The UTF-16 code unit of a `\uXXXX` escape starting at `pos` (at the backslash), if complete.
std::optional<uint32_t> UnicodeEscapeAt(std::string_view text, size_t pos) {
  if (pos + 6 > text.size() || text[pos] != '\\' || text[pos + 1] != 'u') return std::nullopt;
  uint32_t unit = 0;
  for (size_t i = pos + 2; i < pos + 6; ++i) {
    const int digit = HexValue(text[i]);
    if (digit < 0) return std::nullopt;
    unit = unit * 16 + static_cast<uint32_t>(digit);
  }
  return unit;
}

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Decodes the `\uXXXX` escape at `pos` (and a low surrogate escape right after a high one) into
// `out`; returns the number of bytes consumed.
size_t AppendUnicodeEscape(std::string& out, std::string_view text, size_t pos, uint32_t unit) {
  if (IsHighSurrogate(unit)) {
    const std::optional<uint32_t> next = UnicodeEscapeAt(text, pos + 6);
    if (next && IsLowSurrogate(*next)) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (*next - 0xDC00));
      return 12;
    }
    out += kReplacementCharacter;
    return 6;
  }
  if (IsLowSurrogate(unit)) {
    out += kReplacementCharacter;
    return 6;
  }
  AppendUtf8(out, unit);
  return 6;
}

} // namespace

void AppendJsonEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
    case '\t':
      out += "\\t";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    default:
      if (byte < 0x20) {
        out += "\\u00";
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0x0F];
      } else {
        out += c;
      }
    }
  }
}

std::string JsonEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  AppendJsonEscaped(out, text);
  return out;
}

size_t FindStringMemberValue(std::string_view text, std::string_view key) {
  std::string pattern;
  pattern.reserve(key.size() + 4);
  pattern += '"';
  pattern += key;
  pattern += "\":\"";
  const size_t found = text.find(pattern);
  return found == std::string_view::npos ? found : found + pattern.size();
}

std::string JsonStringField(std::string_view text, std::string_view key) {
  size_t pos = FindStringMemberValue(text, key);
  if (pos == std::string_view::npos) return {};

  std::string value;
  while (pos < text.size() && text[pos] != '"') {
    if (text[pos] != '\\' || pos + 1 == text.size()) {
      value += text[pos++];
      continue;
    }
    const char escaped = text[pos + 1];
    if (escaped == 'u') {
      if (const std::optional<uint32_t> unit = UnicodeEscapeAt(text, pos)) {
        pos += AppendUnicodeEscape(value, text, pos, *unit);
        continue;
      }
    }
    switch (escaped) {
    case 'n':
      value += '\n';
      break;
    case 'r':
      value += '\r';
      break;
    case 't':
      value += '\t';
      break;
    case 'b':
      value += '\b';
      break;
    case 'f':
      value += '\f';
      break;
    default:
      value += escaped;
      break; // \" \\ \/ and anything unknown give the byte itself
    }
    pos += 2;
  }
  return value;
}

std::string ListToJsonArray(std::string_view list) {
  std::string out;
  out.reserve(list.size() + 16);
  out += '[';
  bool first = true;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = list.find_first_of("\r\n", start);
    const size_t stop = end == std::string_view::npos ? list.size() : end;
    if (stop > start) {
      if (!first) out += ',';
      first = false;
      out += '"';
      AppendJsonEscaped(out, list.substr(start, stop - start));
      out += '"';
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  out += ']';
  return out;
}
