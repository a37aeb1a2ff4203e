// The calculation functions that tell a solution about its files and its context.
#pragma once

#include <string>

#include "plugin/calculation_call.h"

std::string GetSchemaFunction(const CalculationCall& call);    // TideLoom.GetSchema
std::string ListFilesFunction(const CalculationCall& call);    // TideLoom.ListFiles
std::string DebugContextFunction(const CalculationCall& call); // TideLoom.DebugContext
