// Conversions between the plug-in's UTF-8 and the host's UTF-16. Every ill-formed sequence
// becomes one U+FFFD (a maximal ill-formed subpart in UTF-8, a lone surrogate in UTF-16), so
// that nothing the plug-in hands over can break the host or the output.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fmhost {

std::u16string Utf8ToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view units);
std::string SanitizeUtf8(std::string_view bytes);

// The UTF-8 form of units, cut before the first character that would not fit into maxBytes.
std::string Utf16ToUtf8Within(std::u16string_view units, std::size_t maxBytes);

} // namespace fmhost
