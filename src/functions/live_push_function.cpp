#include "functions/live_push_function.h"

#include "plugin/evaluation.h"
#include "schema/live_push.h"

std::string LivePushFunction(const CalculationCall& call) {
  return LivePush(Parameter(call, 0),
                  [&call] { return EvaluateToText(call.environment, "Get(FileName)"); });
}
