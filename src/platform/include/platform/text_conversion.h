// The crossing between the plug-in's UTF-8 byte strings and the UTF-16 text of system calls.
#pragma once

#include <string>
#include <string_view>

namespace tideloom {

// UTF-8 to UTF-16, reading up to the first NUL byte. Each ill-formed UTF-8 sequence becomes
// U+FFFD. Empty in, empty out.
std::u16string Utf8ToWide(std::string_view text);

// UTF-16 to UTF-8, reading up to the first NUL unit. A lone surrogate becomes U+FFFD
// (EF BF BD). Empty in, empty out.
std::string WideToUtf8(std::u16string_view text);

} // namespace tideloom
