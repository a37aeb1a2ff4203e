// The calculation functions that tell a solution about its files and its context.
#pragma once

#include <string>

#include "functions/calculation_call.h"

namespace tideloom {

std::string GetSchemaFunction(const CalculationCall& call);    // TideLoom.GetSchema
std::string ListFilesFunction(const CalculationCall& call);    // TideLoom.ListFiles
std::string DebugContextFunction(const CalculationCall& call); // TideLoom.DebugContext

} // namespace tideloom
