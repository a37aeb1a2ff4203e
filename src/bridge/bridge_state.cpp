#include "bridge/bridge_state.h"

#include <chrono>

#include "hostapi/plugin_identity.h"
#include "schema/live_push.h"

namespace tideloom {

namespace {
int64_t MonotonicMs() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 1'000'000;
}

using Lock = std::lock_guard<std::mutex>;
} // namespace

int64_t (*steadyClockSource)() = MonotonicMs;

int64_t steadyNowMs() { return steadyClockSource(); }

BridgeState& bridgeState() {
  static BridgeState* const state = new BridgeState();
  return *state;
}

BridgeState::BridgeState() : baseUrl_(kDefaultBaseUrl) {}

void BridgeState::Configure(std::string_view licenseKey, std::string_view baseUrl) {
  const Lock lock(mutex_);
  licenseKey_ = licenseKey;
  baseUrl_ = baseUrl.empty() ? kDefaultBaseUrl : baseUrl;
  registered_ = true;
}

bool BridgeState::IsRegistered() const {
  const Lock lock(mutex_);
  return registered_;
}

Credentials BridgeState::ReadCredentials() const {
  const Lock lock(mutex_);
  return {baseUrl_, licenseKey_};
}

std::string BridgeState::RegisteredFileName() const {
  const Lock lock(mutex_);
  return registeredFileName_;
}

void BridgeState::SetRegisteredFileName(std::string_view name) {
  const Lock lock(mutex_);
  registeredFileName_ = name;
}

void BridgeState::AdoptRegisteredFileName(std::string_view name) {
  const Lock lock(mutex_);
  if (registeredFileName_.empty()) registeredFileName_ = name;
}

void BridgeState::AllowWork() { shuttingDown_.store(false); }

void BridgeState::BeginShutdown() {
  shuttingDown_.store(true);
  updateCheckRunning_.store(false);
  const Lock lock(mutex_);
  ++session_;
  pollInFlight_.store(false);
  registered_ = false;
  commandPending_.store(false);
  pendingCommand_.reset();
  schemaWaiting_ = false;
  schemaCommandId_.clear();
  schemaTargetFile_.clear();
}

std::optional<SessionToken> BridgeState::ClaimPoll(int64_t nowMs, int64_t spacingMs) {
  const Lock lock(mutex_);
  if (nowMs - lastPollAtMs_ < spacingMs) return std::nullopt;
  lastPollAtMs_ = nowMs;
  if (pollInFlight_.exchange(true)) return std::nullopt;
  return session_;
}

void BridgeState::EndPoll(SessionToken session) {
  const Lock lock(mutex_);
  if (session == session_) pollInFlight_.store(false);
}

void BridgeState::StorePolledCommand(SessionToken session, PolledCommand command) {
  const Lock lock(mutex_);
  if (session != session_) return;
  pendingCommand_ = std::move(command);
  commandPending_.store(true);
}

std::optional<PolledCommand> BridgeState::TakePendingCommand() {
  if (!commandPending_.exchange(false)) return std::nullopt;
  const Lock lock(mutex_);
  std::optional<PolledCommand> command = std::move(pendingCommand_);
  pendingCommand_.reset();
  return command;
}

void BridgeState::QueueSchemaWait(std::string_view commandId, std::string_view targetFile,
                                  int64_t nowMs) {
  const Lock lock(mutex_);
  schemaCommandId_ = commandId;
  schemaTargetFile_ = targetFile;
  schemaQueuedAtMs_ = nowMs;
  schemaWaiting_ = true;
}

SchemaWait BridgeState::ReadSchemaWait() const {
  const Lock lock(mutex_);
  return {schemaTargetFile_, schemaWaiting_, schemaQueuedAtMs_};
}

std::string BridgeState::StopSchemaWaiting() {
  const Lock lock(mutex_);
  schemaWaiting_ = false;
  return schemaCommandId_;
}

void BridgeState::ForgetSchemaCommand() {
  const Lock lock(mutex_);
  schemaCommandId_.clear();
  schemaTargetFile_.clear();
}

SchemaClaim BridgeState::ClaimSchemaFor(std::string_view currentFileName) {
  const Lock lock(mutex_);
  SchemaClaim claim;
  claim.credentials = {baseUrl_, licenseKey_};
  // With no command pending the target and id are both empty, and the upload answers "nothing".
  if (schemaTargetFile_.empty() || SameSchemaFile(schemaTargetFile_, currentFileName)) {
    claim.commandId = std::move(schemaCommandId_);
    claim.sourceFileName =
        !schemaTargetFile_.empty() ? std::move(schemaTargetFile_) : registeredFileName_;
    schemaCommandId_.clear();
    schemaTargetFile_.clear();
  } else {
    claim.sourceFileName =
        !currentFileName.empty() ? std::string(currentFileName) : registeredFileName_;
  }
  return claim;
}

bool BridgeState::ClaimUpdateCheck(int64_t nowMs) {
  if (updateCheckRunning_.exchange(true)) return false;
  const Lock lock(mutex_);
  lastUpdateCheckAtMs_ = nowMs;
  return true;
}

bool BridgeState::UpdateCheckDue(int64_t nowMs, int64_t spacingMs) const {
  const Lock lock(mutex_);
  return !updateCheckRunning_.load() && nowMs - lastUpdateCheckAtMs_ >= spacingMs;
}

void BridgeState::StoreLatestVersion(std::string version) {
  const Lock lock(mutex_);
  latestVersion_ = std::move(version);
}

std::string BridgeState::LatestVersion() const {
  const Lock lock(mutex_);
  return latestVersion_;
}

BridgeReportView BridgeState::ReportView() const {
  const Lock lock(mutex_);
  return {baseUrl_, registeredFileName_, schemaTargetFile_, registered_, schemaWaiting_};
}

} // namespace tideloom
