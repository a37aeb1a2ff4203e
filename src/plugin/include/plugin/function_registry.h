// The one table of the plug-in's calculation functions. Registration, unregistration, the host
// stand-in's description and the tests all read it; nothing lists the functions a second time.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "functions/calculation_call.h"

namespace tideloom {

struct FunctionEntry {
  int16_t id;
  std::string_view name;
  std::string_view prototype;
  std::string_view description;
  int16_t minParameters;
  int16_t maxParameters;
  CalculationFunction implementation;
};

// The host's compatibility and display options, the same for every function.
inline constexpr uint32_t kFunctionFlags = 0x00FFFF7E;

extern const std::array<FunctionEntry, 19> kFunctionTable;

const FunctionEntry* FindFunction(int16_t id);

// Registers the table in ID order; returns the host's code for the first entry.
int16_t RegisterAll(const HostQuadChar* pluginId);
void UnregisterAll(const HostQuadChar* pluginId);

// What every registered function goes through: the implementation's text becomes the result,
// the host is told 0, and nothing thrown gets out.
int16_t CalculationTrampoline(int16_t functionId, const HostExprEnv* environment,
                              const HostDataVect* parameters, HostData* result);

// The result of a call whose host library call failed half-way.
inline constexpr std::string_view kHostFailureResult = "ERROR: the host reported a failure.";

} // namespace tideloom
