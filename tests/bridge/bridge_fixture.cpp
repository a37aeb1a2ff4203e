#include "bridge_fixture.h"

#include <deque>
#include <mutex>

#include "bridge/background_task.h"
#include "bridge/bridge_state.h"
#include "bridge/idle_executor.h"
#include "plugin/plugin_identity.h"

namespace {

struct HeldTask {
  DetachedThreadEntry entry;
  void* argument;
};

std::deque<HeldTask>& heldTasks() {
  static std::deque<HeldTask> tasks;
  return tasks;
}

bool HoldTask(DetachedThreadEntry entry, void* argument) {
  heldTasks().push_back({entry, argument});
  return true;
}

int64_t testClockMs = 0;
int64_t testClockStepMs = 0;
int64_t ReadTestClock() {
  const int64_t now = testClockMs;
  testClockMs += testClockStepMs;
  return now;
}

FakeHost fakeHostState;

std::string FakeCurrentFileName() {
  ++fakeHostState.fileNameLookups;
  return fakeHostState.currentFileName;
}

std::string FakeOpenFiles() { return fakeHostState.openFiles; }

std::string FakeContextDebug(std::string_view target) {
  return "context of " + std::string(target);
}

bool FakeGetXml(std::string_view typeKey, std::string& xml, std::string& error) {
  error = fakeHostState.clipboardReadError;
  xml.clear();
  for (const auto& [type, content] : fakeHostState.clipboard) {
    if (type == typeKey) xml = content;
  }
  return error.empty();
}

bool FakeProbeXml(std::string& typeKey, std::string& xml, std::string& error) {
  error = fakeHostState.clipboardReadError;
  for (const auto& [type, content] : fakeHostState.clipboard) {
    if (error.empty() && !content.empty()) {
      typeKey = type;
      xml = content;
      return true;
    }
  }
  return false;
}

bool FakeListFormats(std::string& listing, std::string& error) {
  error = fakeHostState.formatsError;
  listing = fakeHostState.formatsListing;
  return error.empty();
}

bool FakeSetXml(std::string_view typeKey, std::string_view xml, std::string& error) {
  ++fakeHostState.clipboardWrites;
  fakeHostState.writtenType = std::string(typeKey);
  fakeHostState.writtenXml = std::string(xml);
  error = fakeHostState.setError;
  return error.empty();
}

int16_t FakeStartScript(std::string_view fileName, std::string_view scriptName) {
  const std::size_t attempt = fakeHostState.scriptStarts.size();
  fakeHostState.scriptStarts.emplace_back(fileName, scriptName);
  const auto& answers = fakeHostState.scriptStartAnswers;
  return attempt < answers.size() ? answers[attempt] : int16_t{0};
}

constexpr IdleHostCalls kFakeHostCalls = {
    FakeCurrentFileName, FakeOpenFiles,   FakeContextDebug, FakeGetXml,
    FakeProbeXml,        FakeListFormats, FakeSetXml,       FakeStartScript,
};

} // namespace

FakeHost& fakeHost() { return fakeHostState; }
const IdleHostCalls& FakeHostCalls() { return kFakeHostCalls; }

void ResetBridgeState() {
  BridgeState& state = bridgeState();
  {
    const std::lock_guard<std::mutex> lock(stateMutex());
    state.registered = false;
    state.licenseKey.clear();
    state.baseUrl = std::string(kDefaultBaseUrl);
    state.registeredFileName.clear();
    state.pendingCommandId.clear();
    state.pendingCommandType.clear();
    state.pendingCommandBody.clear();
    state.schemaCommandId.clear();
    state.schemaTargetFile.clear();
    state.schemaWaiting = false;
    state.schemaQueuedAtMs = 0;
    state.lastPollAtMs = 0;
    state.lastUpdateCheckAtMs = 0;
    state.latestVersion.clear();
  }
  state.shuttingDown.store(false);
  state.pollInFlight.store(false);
  state.commandPending.store(false);
  state.updateCheckRunning.store(false);
  state.activeSenders.store(0);
}

void BridgeTest::SetUp() {
  ResetBridgeState();
  fakeHostState = FakeHost{};
  heldTasks().clear();
  startDetachedThread = HoldTask;
  testClockMs = 0;
  testClockStepMs = 0;
  originalClock_ = steadyClockSource;
  steadyClockSource = ReadTestClock;
}

void BridgeTest::TearDown() {
  // Tasks never run still own their captures: let them end as during shutdown.
  bridgeState().shuttingDown.store(true);
  RunBackgroundTasks();
  startDetachedThread = StartDetachedThread;
  steadyClockSource = originalClock_;
  ResetBridgeState();
}

std::size_t BridgeTest::RunBackgroundTasks() {
  std::size_t count = 0;
  while (!heldTasks().empty()) {
    const HeldTask task = heldTasks().front();
    heldTasks().pop_front();
    task.entry(task.argument);
    ++count;
  }
  return count;
}

std::size_t BridgeTest::HeldBackgroundTasks() const { return heldTasks().size(); }

void BridgeTest::SetClock(int64_t ms) {
  testClockMs = ms;
  testClockStepMs = 0;
}

void BridgeTest::SetAdvancingClock(int64_t stepMs) { testClockStepMs = stepMs; }

void BridgeTest::Register(const std::string& licenseKey) {
  const std::lock_guard<std::mutex> lock(stateMutex());
  bridgeState().licenseKey = licenseKey;
  bridgeState().baseUrl = server.BaseUrl();
  bridgeState().registered = true;
}

void BridgeTest::Idle(uint8_t idleLevel) { onIdle(idleLevel, FakeHostCalls()); }
