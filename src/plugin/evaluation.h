// Asking the host to evaluate a calculation expression: the plug-in's way of learning about the
// host's files, windows and schema.
#pragma once

#include <string>
#include <string_view>

#include "plugin/host_objects.h"

// An evaluation error reads as empty text; callers treat empty text as an absent value.
std::string EvaluateToText(const HostExprEnv* environment, std::string_view expression);

// An environment bound to the host's current context, for work outside any calculation (the idle
// call). Main thread only.
HostEnvironmentObject CurrentContextEnvironment();
