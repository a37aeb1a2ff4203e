// The crossing between the plug-in's UTF-8 byte strings and the UTF-16 text of system calls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tideloom {

// UTF-8 to UTF-16, reading up to the first NUL byte. Each ill-formed UTF-8 sequence becomes
// U+FFFD. Empty in, empty out.
std::u16string Utf8ToWide(std::string_view text);

// The length of Utf8ToWide(text) in units, and the same text written into `out`, which has room
// for `units` of them: a large text goes straight into a clipboard block without a copy between.
std::size_t Utf8ToWideLength(std::string_view text);
void Utf8ToWideInto(std::string_view text, char16_t* out, std::size_t units);

// UTF-16 to UTF-8, reading up to the first NUL unit. A lone surrogate becomes U+FFFD
// (EF BF BD). Empty in, empty out.
std::string WideToUtf8(std::u16string_view text);

} // namespace tideloom
