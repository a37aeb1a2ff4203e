#include "bridge/schema_command.h"

#include <mutex>
#include <string>

#include "bridge/bridge_messages.h"
#include "bridge/bridge_state.h"
#include "bridge/senders.h"
#include "bridge/service_protocol.h"
#include "core/json.h"

namespace {

constexpr int16_t kScriptNotFound = 104;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(std::string_view left, std::string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (AsciiLower(left[i]) != AsciiLower(right[i])) return false;
  }
  return true;
}

// The schema command as watching sees it, copied under one hold of the mutex.
struct SchemaWait {
  std::string targetFile;
  bool waiting = false;
  int64_t queuedAtMs = 0;
};

SchemaWait CopySchemaWait() {
  const BridgeState& state = bridgeState();
  const std::lock_guard<std::mutex> lock(stateMutex());
  return {state.schemaTargetFile, state.schemaWaiting, state.schemaQueuedAtMs};
}

// Ends the wait and returns the id of the command it was for.
std::string StopWaiting() {
  BridgeState& state = bridgeState();
  const std::lock_guard<std::mutex> lock(stateMutex());
  state.schemaWaiting = false;
  return state.schemaCommandId;
}

void ForgetSchemaCommand() {
  BridgeState& state = bridgeState();
  const std::lock_guard<std::mutex> lock(stateMutex());
  state.schemaCommandId.clear();
  state.schemaTargetFile.clear();
}

void PostStatus(const std::string& baseUrl, const std::string& licenseKey, std::string_view code,
                const std::string& message) {
  postDiagnostic(baseUrl, StatusRecord(licenseKey, code, kRecordReceived, message));
}

// The first of the two names that the host can start, tried in the current file and then in
// the file by name; the host's error for the last attempt when neither starts.
int16_t StartLivePushScript(const IdleHostCalls& host, std::string_view fileName,
                            std::string_view& startedName) {
  auto start = [&](std::string_view scriptName) {
    startedName = scriptName;
    const int16_t error = host.startScript({}, scriptName);
    return error == 0 ? error : host.startScript(fileName, scriptName);
  };
  const int16_t error = start(kLivePushScriptName);
  return error == kScriptNotFound ? start(kLivePushScriptAlternateName) : error;
}

void TriggerScript(const SchemaWait& wait, const std::string& currentName,
                   const std::string& commandId, const IdleHostCalls& host) {
  const std::string baseUrl = CopyBaseUrl();
  const std::string licenseKey = CopyLicenseKey();
  PostStatus(baseUrl, licenseKey, kScriptTriggerCode, ScriptTriggerMessage(wait.targetFile));
  std::string_view startedName;
  const int16_t error = StartLivePushScript(host, currentName, startedName);
  if (error == 0) {
    // The command stays set: the script's TideLoom.LivePush completes it.
    PostStatus(baseUrl, licenseKey, kScriptTriggeredCode, ScriptTriggeredMessage(startedName));
    return;
  }
  ForgetSchemaCommand();
  reportSchemaFailure(licenseKey, ScriptStartFailedMessage(wait.targetFile, error), baseUrl,
                      commandId, std::string(kScriptErrorCode));
}

void GiveUpWaiting(const SchemaWait& wait, const std::string& commandId) {
  const std::string baseUrl = CopyBaseUrl();
  const std::string licenseKey = CopyLicenseKey();
  ForgetSchemaCommand();
  reportSchemaFailure(licenseKey, SchemaTimeoutMessage(wait.targetFile), baseUrl, commandId,
                      std::string(kSchemaTimeoutCode));
}

} // namespace

void QueueSchemaCommand(const CommandCopy& command, const IdleHostCalls& host) {
  std::string target = JsonStringField(command.body, kFileNameMember);
  if (target.empty()) {
    const std::lock_guard<std::mutex> lock(stateMutex());
    target = bridgeState().registeredFileName;
  }
  if (target.empty()) {
    failCommand(command.baseUrl, command.licenseKey, command.id,
                std::string(kNoSchemaTargetMessage));
    return;
  }
  // The service shows the user which names it may ask for while the script is awaited.
  const std::string openFiles = host.listOpenFiles();
  if (!openFiles.empty()) {
    pushResult(command.baseUrl,
               ResultRecord(command.licenseKey, kFileListResult, openFiles, kFileListLabel));
  }
  {
    BridgeState& state = bridgeState();
    const std::lock_guard<std::mutex> lock(stateMutex());
    state.schemaCommandId = command.id;
    state.schemaTargetFile = target;
    state.schemaQueuedAtMs = steadyNowMs();
    state.schemaWaiting = true;
  }
  PostStatus(command.baseUrl, command.licenseKey, kSchemaQueuedCode, SchemaQueuedMessage(target));
}

bool WatchSchemaCommand(uint8_t idleLevel, const IdleHostCalls& host) {
  const SchemaWait wait = CopySchemaWait();
  if (!wait.waiting) return false;
  if (wait.targetFile.empty()) {
    // TideLoom.LivePush has answered the command already (its script was run by hand).
    StopWaiting();
    return false;
  }
  const std::string currentName = host.currentFileName();
  const bool matches = !currentName.empty() && EqualIgnoringAsciiCase(currentName, wait.targetFile);
  const bool quiet = idleLevel < kBusyIdleLevel;
  const int64_t elapsedMs = steadyNowMs() - wait.queuedAtMs;
  const bool ready = matches && quiet;
  // A quiet match ends the wait however late it comes; the limit only ends a wait in vain.
  if (!ready && elapsedMs <= kSchemaWaitLimitMs) return false;

  const std::string commandId = StopWaiting();
  if (ready) {
    TriggerScript(wait, currentName, commandId, host);
  } else {
    GiveUpWaiting(wait, commandId);
  }
  return true;
}
