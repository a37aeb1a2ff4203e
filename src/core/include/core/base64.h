// Base64 (RFC 4648 standard alphabet, "=" padding, no line breaks) for upload bodies.
#pragma once

#include <string>
#include <string_view>

namespace tideloom {

std::string Base64Encode(std::string_view bytes);

} // namespace tideloom
