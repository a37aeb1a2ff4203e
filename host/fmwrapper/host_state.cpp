#include "host_state.h"

#include "failure_injection.h"
#include "host_call_rules.h"
#include "host_objects.h"
#include "utf_text.h"

namespace fmhost {

HostState& State() {
  static HostState* state = new HostState; // plug-ins may call in during static destruction
  return *state;
}

CalcEngine& Engine() {
  HostState& state = State();
  if (!state.engine) {
    state.engine = std::make_unique<CalcEngine>(state.solution, CallRegisteredFunction);
  }
  return *state.engine;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

void UseSolution(Solution solution) {
  HostState& state = State();
  if (solution.FindFile(solution.activeFile) == nullptr && !solution.files.empty()) {
    solution.activeFile = solution.files.front().name;
  }
  state.engine.reset();
  state.solution = std::make_shared<Solution>(std::move(solution));
}

Solution& CurrentSolution() { return *State().solution; }

bool SetActiveFile(const std::string& fileName) {
  Solution& solution = CurrentSolution();
  const SolutionFile* file = solution.FindFile(fileName);
  if (file == nullptr) return false;
  solution.activeFile = file->name;
  return true;
}

void ResetHost() {
  HostState& state = State();
  state.functions.clear();
  state.unregisteredIds.clear();
  state.startedScripts.clear();
  state.waitingScripts.clear();
  state.scriptObserver = nullptr;
  RemoveInjectedFailures();
  ForgetPluginLife();
}

bool InjectFailure(const std::string& call, int code, int times) {
  return AddInjectedFailure(call, code, times);
}

void ClearInjectedFailures() { RemoveInjectedFailures(); }

std::vector<std::string> LibraryCalls() { return LibraryCallNames(); }

std::vector<RegisteredFunction> RegisteredFunctions() {
  std::vector<RegisteredFunction> functions;
  for (const FunctionEntry& entry : State().functions)
    functions.push_back(entry.info);
  return functions;
}

std::vector<int16_t> UnregisteredIds() { return State().unregisteredIds; }

CalcResult Evaluate(const std::string& expression) {
  CalcVariables variables;
  try {
    return Engine().Evaluate(expression, CalcContext{CurrentSolution().activeFile, &variables});
  } catch (const std::bad_alloc&) {
    return CalcResult{kFailedCallErrorCode, {}};
  }
}

std::size_t LiveHostObjects() { return LiveHostObjectCounts().Total(); }

LiveObjectCounts LiveHostObjectCounts() {
  LiveObjectCounts counts;
  counts.texts = CountOwnedByPlugin(ObjectKind::text);
  counts.data = CountOwnedByPlugin(ObjectKind::data);
  counts.vectors = CountOwnedByPlugin(ObjectKind::vector);
  counts.environments = CountOwnedByPlugin(ObjectKind::environment);
  counts.quadChars = CountOwnedByPlugin(ObjectKind::quadChar);
  return counts;
}

} // namespace fmhost
