#include "fake_parameters.h"

std::string Parameter(const CalculationCall& call, uint32_t index) {
  const auto* texts = reinterpret_cast<const std::vector<std::string>*>(call.parameters);
  return index < texts->size() ? (*texts)[index] : std::string();
}
