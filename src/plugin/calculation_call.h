// What a calculation function receives from the host, and the form every implementation has.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/host_library.h"

struct CalculationCall {
  const HostExprEnv* environment;
  const HostDataVect* parameters;
};

// The parameter at a zero-based index as UTF-8; a parameter the caller left out reads as empty.
std::string Parameter(const CalculationCall& call, uint32_t index);

// An implementation returns its result text; failures are reported in that text, never by
// throwing (host failures may still throw: the registry's trampoline stops them).
using CalculationFunction = std::string (*)(const CalculationCall& call);
