// The calculation functions that drive the bridge to the web service.
#pragma once

#include <string>

#include "functions/calculation_call.h"

namespace tideloom {

std::string RegisterFunction(const CalculationCall& call);        // TideLoom.Register
std::string UpdateAvailableFunction(const CalculationCall& call); // TideLoom.UpdateAvailable

} // namespace tideloom
