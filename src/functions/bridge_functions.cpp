#include "functions/bridge_functions.h"

#include "bridge/registration.h"
#include "bridge/update_check.h"

namespace tideloom {

// A missing fourth parameter reads as empty text, which selects the default service.
std::string RegisterFunction(const CalculationCall& call) {
  const RegistrationRequest request{Parameter(call, 0), Parameter(call, 1), Parameter(call, 2),
                                    Parameter(call, 3)};
  return RegisterBridge(request, [&call] { return call.evaluate("Get(FileName)"); });
}

std::string UpdateAvailableFunction(const CalculationCall&) { return UpdateNotice(); }

} // namespace tideloom
