#include "core/json.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "core/ascii.h"
#include "core/list_lines.h"
#include "core/utf8.h"

namespace tideloom {

namespace {

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

namespace {

// Bytes that stand for themselves inside a JSON string: everything but control bytes, the quote
// and the backslash. Bytes of 0x80 and above are checked as UTF-8 apart.
constexpr std::array<bool, 256> kPlainBytes = [] {
  std::array<bool, 256> plain{};
  for (int byte = 0x20; byte < 0x80; ++byte)
    plain[byte] = byte != '"' && byte != '\\';
  return plain;
}();

} // namespace

void AppendJsonEscaped(std::string& out, std::string_view text) {
  // Runs of bytes that need nothing are copied whole: payloads are mostly such runs.
  std::size_t runStart = 0;
  std::size_t i = 0;
  const auto flushRun = [&] { out.append(text.data() + runStart, i - runStart); };
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (kPlainBytes[byte]) {
      ++i;
      continue;
    }
    if (byte >= 0x80) {
      std::size_t invalidLength = 0;
      if (const std::size_t length = Utf8SequenceAt(text, i, invalidLength)) {
        i += length;
        continue;
      }
      // The body must stay JSON whatever bytes a command carried.
      flushRun();
      out += kReplacementCharacter;
      i += invalidLength;
      runStart = i;
      continue;
    }
    flushRun();
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
      out += "\\u00";
      out += kLowerHexDigits[byte >> 4];
      out += kLowerHexDigits[byte & 0x0F];
    }
    runStart = ++i;
  }
  flushRun();
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

  // The value's extent first, so that it is allocated once: an xmlContent value can be a large
  // payload, and an escape never yields more bytes than it takes.
  size_t end = pos;
  while (end < text.size() && text[end] != '"')
    end += text[end] == '\\' ? 2 : 1;
  end = std::min(end, text.size());
  std::string value;
  value.reserve(end - pos);
  while (pos < end) {
    if (text[pos] != '\\' || pos + 1 == text.size()) {
      // Runs without escapes are copied whole. The scan is a plain loop: find_first_of would
      // call memchr once per byte.
      size_t runEnd = pos + 1;
      while (runEnd < end && text[runEnd] != '\\')
        ++runEnd;
      value.append(text.data() + pos, runEnd - pos);
      pos = runEnd;
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

JsonObjectWriter::JsonObjectWriter(std::size_t expectedSize) {
  out_.reserve(expectedSize + 64);
  out_ += '{';
}

void JsonObjectWriter::Key(std::string_view key) {
  if (out_.size() > 1) out_ += ',';
  out_ += '"';
  out_ += key;
  out_ += "\":";
}

JsonObjectWriter& JsonObjectWriter::String(std::string_view key, std::string_view value) {
  Key(key);
  out_ += '"';
  AppendJsonEscaped(out_, value);
  out_ += '"';
  return *this;
}

JsonObjectWriter& JsonObjectWriter::Raw(std::string_view key, std::string_view json) {
  Key(key);
  out_ += json;
  return *this;
}

std::string JsonObjectWriter::Finish() {
  out_ += '}';
  return std::move(out_);
}

std::string ListToJsonArray(std::string_view list) {
  std::string out;
  out.reserve(list.size() + 16);
  out += '[';
  bool first = true;
  for (const std::string_view line : HostListLines(list)) {
    if (!first) out += ',';
    first = false;
    out += '"';
    AppendJsonEscaped(out, line);
    out += '"';
  }
  out += ']';
  return out;
}

} // namespace tideloom
