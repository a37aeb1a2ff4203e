// What the host knows between calls: the solution and its engine, the plug-in's functions and
// the scripts it started. Touched on the host's main thread only.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "fmhost_api.h"

namespace fmhost {

struct FunctionEntry {
  RegisteredFunction info;
  HostExternalFunction function;
};

struct HostState {
  std::shared_ptr<Solution> solution = std::make_shared<Solution>();
  std::unique_ptr<CalcEngine> engine;
  std::vector<FunctionEntry> functions;
  std::vector<int16_t> unregisteredIds;
  std::vector<StartedScript> startedScripts;
  std::deque<StartedScript> waitingScripts;
  ScriptObserver scriptObserver;
};

HostState& State();
CalcEngine& Engine();

// Plug-in functions as the engine sees them (see the lookup of CalcEngine).
std::optional<CalcResult> CallRegisteredFunction(const std::string& name,
                                                 const std::vector<CalcValue>& arguments,
                                                 const CalcContext& context);

// ASCII letters folded, as FileMaker compares function and script names.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// The two callbacks of the call record.
int16_t StartScriptCallback(const HostText* fileName, const HostText* scriptName, uint8_t control,
                            const HostData* parameter);
int16_t CurrentEnvironmentCallback(HostExprEnv* environment);

} // namespace fmhost
