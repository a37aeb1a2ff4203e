// What a calculation function receives, already decoded from the host's values, and the form
// every implementation has. Nothing here knows the host: the plug-in's trampoline fills it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "hostapi/evaluation.h"

namespace tideloom {

struct CalculationCall {
  // Each parameter the caller passed, as UTF-8.
  std::vector<std::string> parameters;
  // Evaluation in the calculation's own context.
  Evaluator evaluate;
};

// The parameter at a zero-based index; a parameter the caller left out reads as empty.
const std::string& Parameter(const CalculationCall& call, std::size_t index);

// An implementation returns its result text; failures are reported in that text, never by
// throwing (host failures may still throw: the plug-in's trampoline stops them).
using CalculationFunction = std::string (*)(const CalculationCall& call);

} // namespace tideloom
