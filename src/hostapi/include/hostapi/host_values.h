// The crossing between host values and UTF-8 text for calculation functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hostapi/host_library.h"

namespace tideloom {

uint32_t ParameterCount(const HostDataVect* parameters);
std::string GetParameterText(const HostDataVect* parameters, uint32_t index);
// A std::string reaches the host without a copy: results may be large. The text is let go as
// soon as the host holds its own, before the host copies that into the result.
void SetResultText(std::string text, HostData* result);

} // namespace tideloom
