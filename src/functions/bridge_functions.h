// The calculation functions that drive the bridge to the web service.
#pragma once

#include <string>

#include "plugin/calculation_call.h"

std::string RegisterFunction(const CalculationCall& call);        // TideLoom.Register
std::string UpdateAvailableFunction(const CalculationCall& call); // TideLoom.UpdateAvailable
