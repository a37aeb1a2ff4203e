// The calculation functions for files and HTTP. Each reads its parameters, calls the platform
// services and returns the result text; failures are told in that text.
#pragma once

#include <string>

#include "functions/calculation_call.h"

namespace tideloom {

std::string ReadFileFunction(const CalculationCall& call);     // TideLoom.ReadFile
std::string HttpPostFunction(const CalculationCall& call);     // TideLoom.HTTPPost
std::string PushSnapshotFunction(const CalculationCall& call); // TideLoom.PushSnapshot
std::string PushScriptFunction(const CalculationCall& call);   // TideLoom.PushScript
std::string PosixPathFunction(const CalculationCall& call);    // TideLoom.POSIXPath
std::string UploadFileFunction(const CalculationCall& call);   // TideLoom.UploadFile

} // namespace tideloom
