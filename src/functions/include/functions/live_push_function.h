// The calculation function that the solution's "TideLoom Live Push" script calls.
#pragma once

#include <string>

#include "functions/calculation_call.h"

namespace tideloom {

std::string LivePushFunction(const CalculationCall& call); // TideLoom.LivePush

} // namespace tideloom
