// Scripts started by a plug-in and the host's other callback. FileMaker queues a started script
// and runs it once the plug-in has returned control to it, never inside the plug-in's call.
#include <algorithm>

#include "host_objects.h"
#include "host_state.h"
#include "utf_text.h"

namespace fmhost {
namespace {

constexpr int16_t kErrorFileMissing = 100;
constexpr int16_t kErrorScriptMissing = 104;
constexpr int16_t kErrorInvalidArgument = -1;
// Scripts that keep starting scripts stop being run here; the rest wait for the next turn.
constexpr std::size_t kScriptsPerTurn = 1000;

const SolutionScript* FindScript(const SolutionFile& file, std::string_view name) {
  const auto found =
      std::find_if(file.scripts.begin(), file.scripts.end(),
                   [&](const auto& script) { return SameNameIgnoringCase(script.name, name); });
  return found != file.scripts.end() ? &*found : nullptr;
}

} // namespace

int16_t StartScriptCallback(const HostText* fileName, const HostText* scriptName, uint8_t control,
                            const HostData* parameter) {
  try {
    if (!IsLiveObject(scriptName, ObjectKind::text) ||
        (fileName != nullptr && !IsLiveObject(fileName, ObjectKind::text)) ||
        (parameter != nullptr && !IsLiveObject(parameter, ObjectKind::data))) {
      return kErrorInvalidArgument;
    }
    Solution& solution = CurrentSolution();
    const std::string wantedFile =
        fileName != nullptr ? Utf16ToUtf8(fileName->units) : solution.activeFile;
    const SolutionFile* file = solution.FindFile(wantedFile);
    if (file == nullptr) return kErrorFileMissing;
    const SolutionScript* script = FindScript(*file, Utf16ToUtf8(scriptName->units));
    if (script == nullptr) return kErrorScriptMissing;
    if (script->startError != 0) return static_cast<int16_t>(script->startError);

    StartedScript started{file->name, script->name, control,
                          parameter != nullptr ? Utf16ToUtf8(parameter->text.units) : ""};
    State().startedScripts.push_back(started);
    State().waitingScripts.push_back(std::move(started));
    return 0;
  } catch (...) {
    return kErrorInvalidArgument;
  }
}

int16_t CurrentEnvironmentCallback(HostExprEnv* environment) {
  if (!IsLiveObject(environment, ObjectKind::environment)) return kErrorInvalidArgument;
  const std::string& activeFile = CurrentSolution().activeFile;
  if (CurrentSolution().FindFile(activeFile) == nullptr) return kErrorFileMissing;
  try {
    environment->fileName = activeFile;
  } catch (...) {
    return kErrorInvalidArgument;
  }
  environment->bound = true;
  environment->variables = nullptr; // outside any calculation: its own variables
  return 0;
}

std::vector<StartedScript> StartedScripts() { return State().startedScripts; }

void SetScriptObserver(ScriptObserver observer) { State().scriptObserver = std::move(observer); }

std::size_t RunStartedScripts() {
  HostState& state = State();
  std::size_t ran = 0;
  while (!state.waitingScripts.empty() && ran < kScriptsPerTurn) {
    ScriptOutcome outcome{std::move(state.waitingScripts.front()), {}};
    state.waitingScripts.pop_front();
    try {
      outcome.run = Engine().RunScript(outcome.started.file, outcome.started.script);
    } catch (const std::exception&) {
      outcome.run.error = kErrorInvalidArgument;
    }
    ++ran;
    if (state.scriptObserver) state.scriptObserver(outcome);
  }
  return ran;
}

} // namespace fmhost
