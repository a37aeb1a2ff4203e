// Text rules the engine shares: FileMaker's letter-case blindness, file-name matching, the text
// form of numbers and value lists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fmhost {

// The carriage return that separates the values of a FileMaker list.
inline constexpr char kValueSeparator = '\r';

std::string FoldAsciiCase(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// What two file names must share to name the same file: the name without a trailing ".fmp12"
// (any letter case), ASCII letters folded.
std::string FileNameKey(std::string_view name);

// A number literal ("007", "1.50", ".5") in FileMaker's text form ("7", "1.5", "0.5").
std::string NumberLiteralText(std::string_view literal);

// FileMaker reads a number from text by taking its digits and first decimal point; the integer
// part of that, or nothing when the text holds no digit or the number is out of range.
bool IntegerFromText(std::string_view text, uint32_t& value);

// Appends a Unicode scalar value (no surrogate, nothing past U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// Appends a code point as UTF-8; nothing for 0, surrogates and values past U+10FFFF.
void AppendCodePoint(std::string& out, uint32_t codePoint);

// Non-overlapping occurrences of pattern in text, letters compared without regard to case
// (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic). An empty pattern occurs 0 times.
std::size_t CountOccurrencesIgnoringCase(std::string_view text, std::string_view pattern);

std::string JoinValueList(const std::vector<std::string>& values);

} // namespace fmhost
