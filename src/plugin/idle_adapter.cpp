#include "plugin/idle_adapter.h"

#include "bridge/bridge_state.h"
#include "bridge/idle_executor.h"
#include "hostapi/evaluation.h"
#include "platform/clipboard.h"
#include "schema/context_report.h"

namespace tideloom {

namespace {

// The host's script control "resume": a script of the user's that is paused goes on after ours.
constexpr uint8_t kResumeScriptControl = 2;
// What a host without the script callback answers: FileMaker's "command is unavailable".
constexpr int16_t kScriptStartUnavailable = 3;

int16_t StartHostScript(const HostCallRecord& record, std::string_view fileName,
                        std::string_view scriptName) {
  if (record.startScript == nullptr) return kScriptStartUnavailable;
  const HostTextObject script(scriptName);
  if (fileName.empty()) {
    return record.startScript(nullptr, script.get(), kResumeScriptControl, nullptr);
  }
  const HostTextObject file(fileName);
  return record.startScript(file.get(), script.get(), kResumeScriptControl, nullptr);
}

} // namespace

void RunBridgeIdle(const HostCallRecord& record) {
  // Each request binds an environment of its own: the host's current context may change between
  // them, and most idle calls need none.
  const IdleHostCalls host = {
      [&record] {
        const HostEnvironmentObject environment = CurrentContextEnvironment(record);
        return EvaluateToText(environment.get(), "Get(FileName)");
      },
      [&record] {
        const HostEnvironmentObject environment = CurrentContextEnvironment(record);
        return ListOpenFiles(EvaluatorIn(environment.get()), bridgeState().RegisteredFileName());
      },
      [&record](std::string_view targetFileName) {
        const HostEnvironmentObject environment = CurrentContextEnvironment(record);
        return BuildContextDebug(EvaluatorIn(environment.get()), targetFileName,
                                 bridgeState().ReportView());
      },
      GetXmlClipboard,
      ProbeXmlClipboard,
      ListClipboardFormats,
      SetXmlClipboard,
      [&record](std::string_view fileName, std::string_view scriptName) {
        return StartHostScript(record, fileName, scriptName);
      },
  };
  onIdle(record.param1, host);
}

} // namespace tideloom
