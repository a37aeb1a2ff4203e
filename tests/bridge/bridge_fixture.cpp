#include "bridge_fixture.h"

#include <deque>
#include <memory>

#include "bridge/background_task.h"
#include "bridge/bridge_state.h"
#include "bridge/idle_executor.h"
#include "bridge/service_protocol.h"

namespace tideloom {

namespace {

std::deque<std::pair<DetachedThreadEntry, void*>> heldTasks;
int64_t testClockMs = 0;
int64_t testClockStepMs = 0;
FakeHost host;

} // namespace

FakeHost& fakeHost() { return host; }

IdleHostCalls FakeHostCalls() {
  return {
      [] {
        ++host.fileNameLookups;
        return host.currentFileName;
      },
      [] { return host.openFiles; },
      [](std::string_view target) { return "context of " + std::string(target); },
      [](std::string_view typeKey, std::string& xml, std::string& error) {
        error = host.clipboardReadError;
        xml = typeKey == host.clipboardType ? host.clipboardXml : "";
        return error.empty();
      },
      [](std::string& typeKey, std::string& xml, std::string& error) {
        error = host.clipboardReadError;
        if (!error.empty() || host.clipboardXml.empty()) return false;
        typeKey = host.clipboardType;
        xml = host.clipboardXml;
        return true;
      },
      [](std::string& listing, std::string& error) {
        error = host.formatsError;
        listing = host.formatsListing;
        return error.empty();
      },
      [](std::string_view typeKey, std::string_view xml, std::string& error) {
        host.writes.emplace_back(typeKey, xml);
        error = host.setError;
        return error.empty();
      },
      [](std::string_view fileName, std::string_view scriptName) {
        const std::size_t attempt = host.scriptStarts.size();
        host.scriptStarts.emplace_back(fileName, scriptName);
        const auto& answers = host.scriptStartAnswers;
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
  host = FakeHost{};
  heldTasks.clear();
  startDetachedThread = [](DetachedThreadEntry entry, void* argument) {
    heldTasks.emplace_back(entry, argument);
    return true;
  };
  SetClock(0);
  originalClock_ = steadyClockSource;
  steadyClockSource = [] { return std::exchange(testClockMs, testClockMs + testClockStepMs); };
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
  for (; !heldTasks.empty(); ++count) {
    const auto [entry, argument] = heldTasks.front();
    heldTasks.pop_front();
    entry(argument);
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

std::size_t BridgeTest::RequestsFor(std::string_view target) const {
  std::size_t count = 0;
  for (const RecordedRequest& request : Requests())
    count += request.target.starts_with(target) ? 1 : 0;
  return count;
}

std::size_t BridgeTest::Polls() const { return RequestsFor(kNextCommandPath); }

std::vector<RecordedRequest> BridgeTest::Sent() {
  RunBackgroundTasks();
  const std::vector<RecordedRequest> all = Requests();
  std::vector<RecordedRequest> fresh;
  for (std::size_t i = seen_; i < all.size(); ++i) {
    if (!all[i].target.starts_with(kNextCommandPath)) fresh.push_back(all[i]);
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
