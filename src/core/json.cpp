#include "core/json.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "core/ascii.h"
#include "core/byte_words.h"
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

// Bytes that are no quote and no backslash: they stand for themselves in a JSON string's value.
uint64_t QuotesAndBackslashes(uint64_t word) {
  return BytesEqualTo(word, '"') | BytesEqualTo(word, '\\');
}

// Bytes that JsonEscape cannot copy as they are.
uint64_t BytesToEscape(uint64_t word) {
  return QuotesAndBackslashes(word) | BytesBelow(word, 0x20) | (word & kHighBits);
}

// Output written by pointer into a block and handed to the string in large appends: with an
// escape every few characters, std::string's checks on each small append cost more than the
// bytes themselves. Flush() must be called at the end, since a destructor may not throw.
class BlockWriter {
public:
  static constexpr std::size_t kSize = 16384;

  explicit BlockWriter(std::string& out) : out_(out) {}
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // Where to write at most `bytes` (no more than kSize) bytes; Commit() takes the end written.
  char* Room(std::size_t bytes) {
    if (bytes > kSize - used_) Flush();
    return block_ + used_;
  }
  void Commit(const char* end) { used_ = static_cast<std::size_t>(end - block_); }
  void Flush() {
    out_.append(block_, used_);
    used_ = 0;
  }

private:
  std::string& out_;
  char block_[kSize];
  std::size_t used_ = 0;
};

// The input is handled in segments whose output, six bytes per input byte at most, fits a block.
constexpr std::size_t kSegment = 2048;
constexpr std::size_t kSegmentRoom = 6 * kSegment + 16;

// What each ASCII byte becomes in a JSON string: itself, or its escape.
struct AsciiOutput {
  char bytes[7] = {};
  unsigned char length = 0;
};

constexpr std::array<AsciiOutput, 128> kAsciiOutputs = [] {
  std::array<AsciiOutput, 128> outputs{};
  for (int byte = 0; byte < 0x80; ++byte)
    outputs[byte] = {{static_cast<char>(byte)}, 1};
  for (int byte = 0; byte < 0x20; ++byte)
    outputs[byte] = {{'\\', 'u', '0', '0', kLowerHexDigits[byte >> 4], kLowerHexDigits[byte & 15]},
                     6};
  outputs['\t'] = {{'\\', 't'}, 2};
  outputs['\n'] = {{'\\', 'n'}, 2};
  outputs['\r'] = {{'\\', 'r'}, 2};
  outputs['"'] = {{'\\', '"'}, 2};
  outputs['\\'] = {{'\\', '\\'}, 2};
  return outputs;
}();

// Writes the output of an ASCII byte; eight bytes are stored whatever its length, the bytes past
// it to be overwritten by what follows.
static_assert(sizeof(AsciiOutput) == 8);
char* WriteAscii(char* to, unsigned char byte) {
  std::memcpy(to, &kAsciiOutputs[byte], sizeof(AsciiOutput));
  return to + kAsciiOutputs[byte].length;
}

// The byte an escape gives: \n \r \t \b \f decoded, and any other byte (\" \\ \/ and unknown
// escapes) standing for itself.
constexpr std::array<char, 256> kUnescaped = [] {
  std::array<char, 256> unescaped{};
  for (int byte = 0; byte < 256; ++byte)
    unescaped[byte] = static_cast<char>(byte);
  unescaped['n'] = '\n';
  unescaped['r'] = '\r';
  unescaped['t'] = '\t';
  unescaped['b'] = '\b';
  unescaped['f'] = '\f';
  return unescaped;
}();

// Quotes on every attribute make escaped XML some five to ten percent longer. Room for that spares
// a copy of the whole output when it outgrows the first guess; pages never written cost nothing.
std::size_t RoomForEscaped(std::size_t bytes) { return bytes + bytes / 8 + 16; }

char* WriteBytes(char* to, std::string_view bytes) {
  std::memcpy(to, bytes.data(), bytes.size());
  return to + bytes.size();
}

} // namespace

void AppendJsonEscaped(std::string& out, std::string_view text) {
  BlockWriter writer(out);
  const char* const bytes = text.data();
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t segmentEnd = std::min(text.size(), i + kSegment);
    char* to = writer.Room(kSegmentRoom);
    while (i < segmentEnd) {
      // Eight bytes are stored whatever the run; the bytes past it are overwritten next.
      if (i + 8 <= segmentEnd) {
        const uint64_t flags = BytesToEscape(WordAt(bytes + i));
        const std::size_t plain = flags == 0 ? 8 : FirstFlagged(flags);
        std::memcpy(to, bytes + i, 8);
        to += plain;
        i += plain;
        if (plain == 8) continue;
      }
      const auto byte = static_cast<unsigned char>(bytes[i]);
      if (byte < 0x80) {
        to = WriteAscii(to, byte);
        ++i;
        continue;
      }
      std::size_t invalidLength = 0;
      if (const std::size_t length = Utf8SequenceAt(text, i, invalidLength)) {
        to = WriteBytes(to, text.substr(i, length));
        i += length;
      } else {
        // The body must stay JSON whatever bytes a command carried.
        to = WriteBytes(to, kReplacementCharacter);
        i += invalidLength;
      }
    }
    writer.Commit(to);
  }
  writer.Flush();
}

std::string JsonEscape(std::string_view text) {
  std::string out;
  out.reserve(RoomForEscaped(text.size()));
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
  std::size_t i = FindStringMemberValue(text, key);
  if (i == std::string_view::npos) return {};
  // Decoding never makes the value longer than the rest of the text, so room for that is taken
  // once: the pages a short value leaves untouched cost nothing, and it is shrunk at the end.
  std::string value;
  value.reserve(text.size() - i);
  BlockWriter writer(value);
  const char* const bytes = text.data();
  bool closed = false;
  while (i < text.size() && !closed) {
    const std::size_t segmentEnd = std::min(text.size(), i + kSegment);
    char* to = writer.Room(kSegmentRoom);
    while (i < segmentEnd) {
      if (i + 8 <= segmentEnd) {
        const uint64_t flags = QuotesAndBackslashes(WordAt(bytes + i));
        const std::size_t plain = flags == 0 ? 8 : FirstFlagged(flags);
        std::memcpy(to, bytes + i, 8);
        to += plain;
        i += plain;
        if (plain == 8) continue;
      } else if (bytes[i] != '"' && bytes[i] != '\\') {
        *to++ = bytes[i++];
        continue;
      }
      if (bytes[i] == '"') {
        closed = true;
        break;
      }
      // A backslash: as the last byte of the text it stays as it is.
      if (i + 1 == text.size()) {
        *to++ = bytes[i++];
        continue;
      }
      const char escaped = bytes[i + 1];
      if (escaped == 'u') {
        if (const std::optional<uint32_t> unit = UnicodeEscapeAt(text, i)) {
          std::string decoded;
          i += AppendUnicodeEscape(decoded, text, i, *unit);
          to = WriteBytes(to, decoded);
          continue;
        }
      }
      *to++ = kUnescaped[static_cast<unsigned char>(escaped)];
      i += 2;
    }
    writer.Commit(to);
  }
  writer.Flush();
  if (value.capacity() > 2 * value.size() + 4096) value.shrink_to_fit();
  return value;
}

JsonObjectWriter::JsonObjectWriter(std::size_t expectedSize) {
  out_.reserve(RoomForEscaped(expectedSize) + 64);
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
