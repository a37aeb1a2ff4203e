#include "functions/live_push_function.h"

#include "bridge/live_push_upload.h"

namespace tideloom {

std::string LivePushFunction(const CalculationCall& call) {
  return LivePush(Parameter(call, 0), [&call] { return call.evaluate("Get(FileName)"); });
}

} // namespace tideloom
