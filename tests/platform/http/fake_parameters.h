// Calculation calls without a host: the tests link their own Parameter(), which reads the texts
// of a FakeCall, so the functions are exercised exactly as the registry calls them.
#pragma once

#include <string>
#include <vector>

#include "plugin/calculation_call.h"

struct FakeCall {
  std::vector<std::string> parameters;
  CalculationCall call() const {
    return {nullptr, reinterpret_cast<const HostDataVect*>(&parameters)};
  }
};
