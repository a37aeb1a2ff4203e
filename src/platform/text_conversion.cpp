// The portable back end: the same results as the Windows code-page conversion, by hand.
#include "platform/text_conversion.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "core/byte_words.h"
#include "core/utf8.h"

namespace tideloom {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::u16string_view UpToNul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

// Hands each unit of a code point's UTF-16 form to `put`.
template <typename Put> void PutUtf16(uint32_t codePoint, Put&& put) {
  if (codePoint < 0x10000) {
    put(static_cast<char16_t>(codePoint));
  } else {
    codePoint -= 0x10000;
    put(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    put(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  }
}

// Decodes one well-formed sequence at `pos`, or consumes its longest valid prefix (at least one
// byte) as one ill-formed sequence, which is how the Unicode standard counts replacements.
size_t DecodeOne(std::string_view text, size_t pos, uint32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  size_t length = 0;
  unsigned char low = 0x80;  // allowed range of the second byte, excluding overlongs
  unsigned char high = 0xBF; // and surrogates or values above U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    codePoint = kReplacement;
    return 1;
  }
  for (size_t i = 1; i < length; ++i) {
    if (pos + i >= text.size()) {
      codePoint = kReplacement;
      return i;
    }
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    const unsigned char min = i == 1 ? low : 0x80;
    const unsigned char max = i == 1 ? high : 0xBF;
    if (byte < min || byte > max) {
      codePoint = kReplacement;
      return i;
    }
    codePoint = codePoint << 6 | (byte & 0x3F);
  }
  return length;
}

// Hands every UTF-16 unit of `text`, up to its first NUL byte, to `put`.
template <typename Put> void ForEachWideUnit(std::string_view text, Put&& put) {
  const std::string_view input = UpToNul(text);
  size_t pos = 0;
  while (pos < input.size()) {
    // Markup is mostly ASCII, whose units are its bytes.
    if (pos + 8 <= input.size()) {
      const uint64_t highBits = WordAt(input.data() + pos) & kHighBits;
      const size_t ascii = highBits == 0 ? 8 : FirstFlagged(highBits);
      for (const size_t stop = pos + ascii; pos < stop; ++pos)
        put(static_cast<char16_t>(input[pos]));
      if (ascii == 8) continue;
    }
    uint32_t codePoint = 0;
    pos += DecodeOne(input, pos, codePoint);
    PutUtf16(codePoint, put);
  }
}

} // namespace

std::u16string Utf8ToWide(std::string_view text) {
  std::u16string out;
  out.reserve(UpToNul(text).size());
  // Appended a block at a time, for the reason WideToUtf8 gives.
  char16_t block[4096];
  size_t used = 0;
  ForEachWideUnit(text, [&](char16_t unit) {
    block[used++] = unit;
    if (used == std::size(block)) {
      out.append(block, used);
      used = 0;
    }
  });
  out.append(block, used);
  return out;
}

std::size_t Utf8ToWideLength(std::string_view text) {
  std::size_t units = 0;
  ForEachWideUnit(text, [&units](char16_t) { ++units; });
  return units;
}

void Utf8ToWideInto(std::string_view text, char16_t* out, std::size_t units) {
  const char16_t* const end = out + units;
  ForEachWideUnit(text, [&out, end](char16_t unit) {
    if (out != end) *out++ = unit;
  });
}

std::string WideToUtf8(std::u16string_view text) {
  const std::u16string_view input = UpToNul(text);
  std::string out;
  out.reserve(input.size() * 3);
  // Written by pointer into a block and appended a block at a time: a payload runs to hundreds of
  // megabytes, and each append checks the size and moves the terminator.
  constexpr size_t kBlockUnits = 4096;
  char block[3 * kBlockUnits + 8];
  size_t pos = 0;
  while (pos < input.size()) {
    const size_t blockEnd = std::min(input.size(), pos + kBlockUnits);
    char* to = block;
    while (pos < blockEnd) {
      if (pos + 4 <= blockEnd) {
        const uint64_t units = WordAt(input.data() + pos);
        if ((units & 0xFF80FF80FF80FF80ull) == 0) {
          for (int shift = 0; shift < 64; shift += 16)
            *to++ = static_cast<char>(units >> shift);
          pos += 4;
          continue;
        }
      }
      const uint32_t unit = input[pos];
      uint32_t codePoint = unit;
      if (unit >= 0xD800 && unit <= 0xDBFF && pos + 1 < input.size() && input[pos + 1] >= 0xDC00 &&
          input[pos + 1] <= 0xDFFF) {
        codePoint = 0x10000 + ((unit - 0xD800) << 10) + (input[pos + 1] - 0xDC00);
        ++pos;
      } else if (unit >= 0xD800 && unit <= 0xDFFF) {
        codePoint = kReplacement;
      }
      to = WriteUtf8(to, codePoint);
      ++pos;
    }
    out.append(block, static_cast<size_t>(to - block));
  }
  return out;
}

} // namespace tideloom
