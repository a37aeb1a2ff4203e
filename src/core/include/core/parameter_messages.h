// What a calculation function answers when a required parameter is empty. Several functions take
// the same parameter, and they all say it the same way.
#pragma once

#include <string_view>

namespace tideloom {

inline constexpr std::string_view kLicenseKeyEmpty = "ERROR: licenseKey is empty.";
inline constexpr std::string_view kXmlTypeEmpty = "ERROR: xmlType is empty.";
inline constexpr std::string_view kXmlContentEmpty = "ERROR: xmlContent is empty.";

} // namespace tideloom
