#include "bridge/idle_host.h"

#include "platform/clipboard.h"
#include "plugin/evaluation.h"
#include "plugin/host_call_dispatch.h"
#include "schema/context_report.h"

namespace {

std::string CurrentFileName() {
  const HostEnvironmentObject environment = CurrentContextEnvironment();
  return EvaluateToText(environment.get(), "Get(FileName)");
}

std::string CurrentOpenFiles() {
  const HostEnvironmentObject environment = CurrentContextEnvironment();
  return ListOpenFiles(environment.get());
}

std::string CurrentContextDebug(std::string_view targetFileName) {
  const HostEnvironmentObject environment = CurrentContextEnvironment();
  return BuildContextDebug(environment.get(), targetFileName);
}

// The host's script control "resume": a script of the user's that is paused goes on after ours.
constexpr uint8_t kResumeScriptControl = 2;
// What a host without the script callback answers: FileMaker's "command is unavailable".
constexpr int16_t kScriptStartUnavailable = 3;

int16_t StartHostScript(std::string_view fileName, std::string_view scriptName) {
  const HostCallRecord* record = currentHostCall;
  if (record == nullptr || record->startScript == nullptr) return kScriptStartUnavailable;
  const HostTextObject script(scriptName);
  if (fileName.empty()) {
    return record->startScript(nullptr, script.get(), kResumeScriptControl, nullptr);
  }
  const HostTextObject file(fileName);
  return record->startScript(file.get(), script.get(), kResumeScriptControl, nullptr);
}

constexpr IdleHostCalls kHostIdleCalls = {
    CurrentFileName,   CurrentOpenFiles,     CurrentContextDebug, GetXmlClipboard,
    ProbeXmlClipboard, ListClipboardFormats, SetXmlClipboard,     StartHostScript,
};

} // namespace

const IdleHostCalls& HostIdleCalls() { return kHostIdleCalls; }
