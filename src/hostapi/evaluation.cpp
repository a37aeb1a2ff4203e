#include "hostapi/evaluation.h"

namespace tideloom {

std::string EvaluateToText(const HostExprEnv* environment, std::string_view expression) {
  if (environment == nullptr) return {};
  HostTextObject expressionText(expression);
  HostDataObject value;
  const int16_t code = CallHost(FM_ExprEnv_Evaluate, environment,
                                static_cast<const HostText*>(expressionText.get()), value.get());
  if (code != 0) return {};
  return HostTextToUtf8(CallHost(FM_Data_GetAsText, static_cast<const HostData*>(value.get())));
}

Evaluator EvaluatorIn(const HostExprEnv* environment) {
  return [environment](std::string_view expression) {
    return EvaluateToText(environment, expression);
  };
}

HostEnvironmentObject CurrentContextEnvironment(const HostCallRecord& record) {
  HostEnvironmentObject environment;
  if (record.currentEnvironment != nullptr) record.currentEnvironment(environment.get());
  return environment;
}

} // namespace tideloom
