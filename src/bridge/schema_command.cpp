#include "bridge/schema_command.h"

#include <string>

#include "bridge/bridge_messages.h"
#include "bridge/bridge_state.h"
#include "bridge/senders.h"
#include "bridge/service_protocol.h"
#include "core/ascii.h"
#include "core/json.h"

namespace tideloom {

namespace {

constexpr int16_t kScriptNotFound = 104;

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
  const auto [baseUrl, licenseKey] = bridgeState().ReadCredentials();
  PostStatus(baseUrl, licenseKey, kScriptTriggerCode, ScriptTriggerMessage(wait.targetFile));
  std::string_view startedName;
  const int16_t error = StartLivePushScript(host, currentName, startedName);
  if (error == 0) {
    // The command stays set: the script's TideLoom.LivePush completes it.
    PostStatus(baseUrl, licenseKey, kScriptTriggeredCode, ScriptTriggeredMessage(startedName));
    return;
  }
  bridgeState().ForgetSchemaCommand();
  reportSchemaFailure(licenseKey, ScriptStartFailedMessage(wait.targetFile, error), baseUrl,
                      commandId, std::string(kScriptErrorCode));
}

void GiveUpWaiting(const SchemaWait& wait, const std::string& commandId) {
  const auto [baseUrl, licenseKey] = bridgeState().ReadCredentials();
  bridgeState().ForgetSchemaCommand();
  reportSchemaFailure(licenseKey, SchemaTimeoutMessage(wait.targetFile), baseUrl, commandId,
                      std::string(kSchemaTimeoutCode));
}

} // namespace

void QueueSchemaCommand(const CommandCopy& command, const IdleHostCalls& host) {
  std::string target = JsonStringField(command.body, kFileNameMember);
  if (target.empty()) target = bridgeState().RegisteredFileName();
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
  bridgeState().QueueSchemaWait(command.id, target, steadyNowMs());
  PostStatus(command.baseUrl, command.licenseKey, kSchemaQueuedCode, SchemaQueuedMessage(target));
}

bool WatchSchemaCommand(uint8_t idleLevel, const IdleHostCalls& host) {
  const SchemaWait wait = bridgeState().ReadSchemaWait();
  if (!wait.waiting) return false;
  if (wait.targetFile.empty()) {
    // TideLoom.LivePush has answered the command already (its script was run by hand).
    bridgeState().StopSchemaWaiting();
    return false;
  }
  const std::string currentName = host.currentFileName();
  const bool matches = !currentName.empty() && EqualIgnoringAsciiCase(currentName, wait.targetFile);
  const bool quiet = idleLevel < kBusyIdleLevel;
  const int64_t elapsedMs = steadyNowMs() - wait.queuedAtMs;
  const bool ready = matches && quiet;
  // A quiet match ends the wait however late it comes; the limit only ends a wait in vain.
  if (!ready && elapsedMs <= kSchemaWaitLimitMs) return false;

  const std::string commandId = bridgeState().StopSchemaWaiting();
  if (ready) {
    TriggerScript(wait, currentName, commandId, host);
  } else {
    GiveUpWaiting(wait, commandId);
  }
  return true;
}

} // namespace tideloom
