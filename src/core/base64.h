// Base64 (RFC 4648 standard alphabet, "=" padding, no line breaks) for upload bodies.
#pragma once

#include <string>
#include <string_view>

std::string Base64Encode(std::string_view bytes);
