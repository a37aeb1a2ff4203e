// Text that goes into a URL's path or query as one value.
#pragma once

#include <string>
#include <string_view>

namespace tideloom {

// Every byte except the ASCII letters, digits and "-", ".", "_", "~" becomes "%XX" (upper-case
// hex), one group per byte of a multi-byte character; the kept bytes pass unchanged, so ordinary
// keys and ids read the same encoded or not.
std::string PercentEncode(std::string_view text);

} // namespace tideloom
