// Asking the host to evaluate a calculation expression: the plug-in's way of learning about the
// host's files, windows and schema.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "hostapi/host_call_record.h"
#include "hostapi/host_objects.h"

namespace tideloom {

// Evaluates an expression in one calculation context. An evaluation error reads as empty text;
// callers treat empty text as an absent value.
using Evaluator = std::function<std::string(std::string_view expression)>;

std::string EvaluateToText(const HostExprEnv* environment, std::string_view expression);

// Evaluation in `environment`, which must outlive the evaluator; none (null) answers empty text.
Evaluator EvaluatorIn(const HostExprEnv* environment);

// An environment bound to the host's current context through the record's callback, for work
// outside any calculation (the idle call). Main thread only.
HostEnvironmentObject CurrentContextEnvironment(const HostCallRecord& record);

} // namespace tideloom
