// The calculation function that the solution's "TideLoom Live Push" script calls.
#pragma once

#include <string>

#include "plugin/calculation_call.h"

std::string LivePushFunction(const CalculationCall& call); // TideLoom.LivePush
