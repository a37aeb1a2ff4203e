// What every bridge test starts from: a bridge state as at load, a clock the test sets, a fake
// host, background tasks held back until the test runs them in order on its own thread, and a
// path of its own on the HTTP test peer as the service.
#pragma once

#include <cstdint>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bridge/background_task.h"
#include "bridge/bridge_state.h"
#include "bridge/idle_executor.h"
#include "bridge/idle_host.h"
#include "bridge/service_protocol.h"
#include "peer_client.h"

namespace tideloom {

// The host and clipboard as the idle executor sees them. A non-empty error makes that call fail
// with it; the context report names the file it was asked for. Each script start takes the next
// answer, and 0 (started) once they are used up.
struct FakeHost {
  std::string currentFileName{};
  int fileNameLookups = 0;
  std::string openFiles{};
  std::string clipboardType{};
  std::string clipboardXml{};
  std::string clipboardReadError{};
  std::string formatsListing{};
  std::string formatsError{};
  std::string setError{};
  std::vector<std::pair<std::string, std::string>> writes{}; // (type, XML) written
  // (file name, script name); an empty file name stands for the current file.
  std::vector<std::pair<std::string, std::string>> scriptStarts{};
  std::vector<int16_t> scriptStartAnswers{};
};

inline FakeHost fakeHost;

inline IdleHostCalls FakeHostCalls() {
  return {
      [] {
        ++fakeHost.fileNameLookups;
        return fakeHost.currentFileName;
      },
      [] { return fakeHost.openFiles; },
      [](std::string_view target) { return "context of " + std::string(target); },
      [](std::string_view typeKey, std::string& xml, std::string& error) {
        error = fakeHost.clipboardReadError;
        xml = typeKey == fakeHost.clipboardType ? fakeHost.clipboardXml : "";
        return error.empty();
      },
      [](std::string& typeKey, std::string& xml, std::string& error) {
        error = fakeHost.clipboardReadError;
        if (!error.empty() || fakeHost.clipboardXml.empty()) return false;
        typeKey = fakeHost.clipboardType;
        xml = fakeHost.clipboardXml;
        return true;
      },
      [](std::string& listing, std::string& error) {
        error = fakeHost.formatsError;
        listing = fakeHost.formatsListing;
        return error.empty();
      },
      [](std::string_view typeKey, std::string_view xml, std::string& error) {
        fakeHost.writes.emplace_back(typeKey, xml);
        error = fakeHost.setError;
        return error.empty();
      },
      [](std::string_view fileName, std::string_view scriptName) {
        const std::size_t attempt = fakeHost.scriptStarts.size();
        fakeHost.scriptStarts.emplace_back(fileName, scriptName);
        const auto& answers = fakeHost.scriptStartAnswers;
        return attempt < answers.size() ? answers[attempt] : int16_t{0};
      },
  };
}

inline std::string UnreachableBaseUrl() { return "http://127.0.0.1:" + std::to_string(FreePort()); }

class BridgeTest : public testing::Test {
protected:
  void SetUp() override {
    // The state as the plug-in finds it at load: destroyed and made again in place, since only
    // the bridge itself may reach its fields.
    std::destroy_at(&bridgeState());
    std::construct_at(&bridgeState());
    fakeHost = FakeHost{};
    heldTasks.clear();
    startDetachedThread = [](DetachedThreadEntry entry, void* argument) {
      heldTasks.emplace_back(entry, argument);
      return true;
    };
    SetClock(0);
    originalClock_ = steadyClockSource;
    steadyClockSource = [] { return std::exchange(clockMs, clockMs + clockStepMs); };
  }

  void TearDown() override {
    // Tasks never run still own their captures: let them end as during shutdown.
    bridgeState().BeginShutdown();
    RunBackgroundTasks();
    startDetachedThread = StartDetachedThread;
    steadyClockSource = originalClock_;
  }

  // Runs the held tasks (and any they start), oldest first; returns how many ran.
  static std::size_t RunBackgroundTasks() {
    std::size_t count = 0;
    for (; !heldTasks.empty(); ++count) {
      const auto [entry, argument] = heldTasks.front();
      heldTasks.pop_front();
      entry(argument);
    }
    return count;
  }
  static std::size_t HeldBackgroundTasks() { return heldTasks.size(); }

  // The clock stands at `ms`, or moves on by `stepMs` at every reading.
  static void SetClock(int64_t ms) {
    clockMs = ms;
    clockStepMs = 0;
  }
  static void SetAdvancingClock(int64_t stepMs) { clockStepMs = stepMs; }

  // This test's service: its own path on the peer. A status below 0 drops the connection;
  // `faults` adds the peer's other members (a short body, a large one...).
  std::string BaseUrl() const { return PeerUrl(prefix_); }
  void Answer(const std::string& path, int status, const std::string& body,
              const nlohmann::json& faults = nlohmann::json::object()) {
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

  // Everything the service received so far, in order, targets relative to the base URL.
  std::vector<RecordedRequest> Requests() const {
    std::vector<RecordedRequest> requests = RequestsUnder(prefix_ + "/");
    for (RecordedRequest& request : requests)
      request.target.erase(0, prefix_.size());
    return requests;
  }
  std::size_t RequestsFor(std::string_view target) const {
    std::size_t count = 0;
    for (const RecordedRequest& request : Requests())
      count += request.target.starts_with(target) ? 1 : 0;
    return count;
  }
  std::size_t Polls() const { return RequestsFor(kNextCommandPath); }
  // Runs the held tasks; returns what the service got since the last call, polls left out.
  std::vector<RecordedRequest> Sent() {
    RunBackgroundTasks();
    const std::vector<RecordedRequest> all = Requests();
    std::vector<RecordedRequest> fresh;
    for (std::size_t i = seen_; i < all.size(); ++i) {
      if (!all[i].target.starts_with(kNextCommandPath)) fresh.push_back(all[i]);
    }
    seen_ = all.size();
    return fresh;
  }

  // Switches the bridge on with this test's service, as a registration does.
  void Register(const std::string& licenseKey = "KEY-1") {
    bridgeState().Configure(licenseKey, BaseUrl());
  }
  static void Idle(uint8_t idleLevel = 0) { onIdle(idleLevel, FakeHostCalls()); }
  static void IdleAt(int64_t atMs, uint8_t idleLevel = 0) {
    SetClock(atMs);
    Idle(idleLevel);
  }
  // The service hands out `command` at a poll at `atMs`, and the poll runs.
  void Deliver(const std::string& command, int64_t atMs) {
    Answer(std::string(kNextCommandPath), 200, R"({"command":)" + command + "}");
    IdleAt(atMs);
    RunBackgroundTasks();
    Answer(std::string(kNextCommandPath), 200, R"({"command":null})");
  }

private:
  static inline std::deque<std::pair<DetachedThreadEntry, void*>> heldTasks;
  static inline int64_t clockMs = 0;
  static inline int64_t clockStepMs = 0;

  std::string prefix_ = UniquePrefix();
  std::size_t seen_ = 0;
  int64_t (*originalClock_)() = nullptr;
};

} // namespace tideloom
