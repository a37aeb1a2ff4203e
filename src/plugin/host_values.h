// The crossing between host values and UTF-8 text for calculation functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "plugin/host_library.h"

uint32_t ParameterCount(const HostDataVect* parameters);
std::string GetParameterText(const HostDataVect* parameters, uint32_t index);
void SetResultText(std::string_view text, HostData* result);
