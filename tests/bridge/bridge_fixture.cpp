#include "bridge_fixture.h"

#include <algorithm>
#include <deque>
#include <memory>

#include "bridge/background_task.h"
#include "bridge/bridge_state.h"
#include "bridge/idle_executor.h"
#include "bridge/service_protocol.h"

namespace tideloom {

namespace {

struct HeldTask {
  DetachedThreadEntry entry;
  void* argument;
};

std::deque<HeldTask> heldTasks;

bool HoldTask(DetachedThreadEntry entry, void* argument) {
  heldTasks.push_back({entry, argument});
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

bool FakeGetXml(std::string_view typeKey, std::string& xml, std::string& error) {
  error = fakeHostState.clipboardReadError;
  xml = typeKey == fakeHostState.clipboardType ? fakeHostState.clipboardXml : "";
  return error.empty();
}

bool FakeProbeXml(std::string& typeKey, std::string& xml, std::string& error) {
  error = fakeHostState.clipboardReadError;
  if (!error.empty() || fakeHostState.clipboardXml.empty()) return false;
  typeKey = fakeHostState.clipboardType;
  xml = fakeHostState.clipboardXml;
  return true;
}

bool FakeListFormats(std::string& listing, std::string& error) {
  error = fakeHostState.formatsError;
  listing = fakeHostState.formatsListing;
  return error.empty();
}

bool FakeSetXml(std::string_view typeKey, std::string_view xml, std::string& error) {
  fakeHostState.writes.emplace_back(typeKey, xml);
  error = fakeHostState.setError;
  return error.empty();
}

bool IsPoll(const RecordedRequest& request) { return request.target.starts_with(kNextCommandPath); }

} // namespace

FakeHost& fakeHost() { return fakeHostState; }

IdleHostCalls FakeHostCalls() {
  return {
      [] {
        ++fakeHostState.fileNameLookups;
        return fakeHostState.currentFileName;
      },
      [] { return fakeHostState.openFiles; },
      [](std::string_view target) { return "context of " + std::string(target); },
      FakeGetXml,
      FakeProbeXml,
      FakeListFormats,
      FakeSetXml,
      [](std::string_view fileName, std::string_view scriptName) {
        const std::size_t attempt = fakeHostState.scriptStarts.size();
        fakeHostState.scriptStarts.emplace_back(fileName, scriptName);
        const auto& answers = fakeHostState.scriptStartAnswers;
        return attempt < answers.size() ? answers[attempt] : int16_t{0};
      },
  };
}

std::string UnreachableBaseUrl() { return "http://127.0.0.1:" + std::to_string(FreePort()); }

void BridgeTest::SetUp() {
  // The state as the plug-in finds it at load: destroyed and made again in place, since only
  // the bridge itself may reach its fields.
  std::destroy_at(&bridgeState());
  std::construct_at(&bridgeState());
  fakeHostState = FakeHost{};
  heldTasks.clear();
  startDetachedThread = HoldTask;
  testClockMs = 0;
  testClockStepMs = 0;
  originalClock_ = steadyClockSource;
  steadyClockSource = ReadTestClock;
  prefix_ = UniquePrefix();
}

void BridgeTest::TearDown() {
  // Tasks never run still own their captures: let them end as during shutdown.
  bridgeState().BeginShutdown();
  RunBackgroundTasks();
  startDetachedThread = StartDetachedThread;
  steadyClockSource = originalClock_;
}

std::size_t BridgeTest::RunBackgroundTasks() {
  std::size_t count = 0;
  while (!heldTasks.empty()) {
    const HeldTask task = heldTasks.front();
    heldTasks.pop_front();
    task.entry(task.argument);
    ++count;
  }
  return count;
}

std::size_t BridgeTest::HeldBackgroundTasks() const { return heldTasks.size(); }

void BridgeTest::SetClock(int64_t ms) {
  testClockMs = ms;
  testClockStepMs = 0;
}

void BridgeTest::SetAdvancingClock(int64_t stepMs) { testClockStepMs = stepMs; }

std::string BridgeTest::BaseUrl() const { return PeerUrl(prefix_); }

void BridgeTest::Answer(const std::string& path, int status, const std::string& body,
                        const nlohmann::json& faults) {
  nlohmann::json script = faults;
  script["path"] = prefix_ + path;
  if (status < 0) {
    script["closeWithoutReply"] = true;
  } else {
    script["status"] = status;
    script["body"] = body;
  }
  ScriptPeer(script);
}

std::vector<RecordedRequest> BridgeTest::Requests() const {
  std::vector<RecordedRequest> requests = RequestsUnder(prefix_ + "/");
  for (RecordedRequest& request : requests)
    request.target.erase(0, prefix_.size());
  return requests;
}

std::size_t BridgeTest::Polls() const {
  const std::vector<RecordedRequest> requests = Requests();
  return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(), IsPoll));
}

std::vector<RecordedRequest> BridgeTest::Sent() {
  RunBackgroundTasks();
  const std::vector<RecordedRequest> all = Requests();
  std::vector<RecordedRequest> fresh;
  for (std::size_t i = seen_; i < all.size(); ++i) {
    if (!IsPoll(all[i])) fresh.push_back(all[i]);
  }
  seen_ = all.size();
  return fresh;
}

void BridgeTest::Register(const std::string& licenseKey) {
  bridgeState().Configure(licenseKey, BaseUrl());
}

void BridgeTest::Idle(uint8_t idleLevel) { onIdle(idleLevel, FakeHostCalls()); }

void BridgeTest::IdleAt(int64_t atMs, uint8_t idleLevel) {
  SetClock(atMs);
  Idle(idleLevel);
}

void BridgeTest::Deliver(const std::string& command, int64_t atMs) {
  Answer(std::string(kNextCommandPath), 200, R"({"command":)" + command + "}");
  IdleAt(atMs);
  RunBackgroundTasks();
  Answer(std::string(kNextCommandPath), 200, R"({"command":null})");
}

} // namespace tideloom
