#include "functions/calculation_call.h"

namespace tideloom {

const std::string& Parameter(const CalculationCall& call, std::size_t index) {
  static const std::string kAbsent;
  return index < call.parameters.size() ? call.parameters[index] : kAbsent;
}

} // namespace tideloom
