// What every bridge test starts from: a bridge state as at load, a clock the test sets, a fake
// host, background tasks held back until the test runs them in order on its own thread, and a
// path of its own on the HTTP test peer as the service.
#pragma once

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "bridge/idle_host.h"
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

FakeHost& fakeHost();
IdleHostCalls FakeHostCalls();

// A base URL where nothing listens.
std::string UnreachableBaseUrl();

class BridgeTest : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the held tasks (and any they start), oldest first; returns how many ran.
  std::size_t RunBackgroundTasks();
  std::size_t HeldBackgroundTasks() const;
  // The clock stands at `ms`, or moves on by `stepMs` at every reading.
  void SetClock(int64_t ms);
  void SetAdvancingClock(int64_t stepMs);

  // This test's service: its own path on the peer. A status below 0 drops the connection;
  // `faults` adds the peer's other members (a short body, a large one...).
  std::string BaseUrl() const;
  void Answer(const std::string& path, int status, const std::string& body,
              const nlohmann::json& faults = nlohmann::json::object());
  // Everything the service received so far, in order, targets relative to the base URL.
  std::vector<RecordedRequest> Requests() const;
  // How many of those have a target beginning with `target`.
  std::size_t RequestsFor(std::string_view target) const;
  std::size_t Polls() const;
  // Runs the held tasks and returns what the service received since the last call, polls left
  // out.
  std::vector<RecordedRequest> Sent();

  // Switches the bridge on with this test's service, as a registration does.
  void Register(const std::string& licenseKey = "KEY-1");
  void Idle(uint8_t idleLevel = 0);
  void IdleAt(int64_t atMs, uint8_t idleLevel = 0);
  // The service hands out `command` at a poll at `atMs`, and the poll runs.
  void Deliver(const std::string& command, int64_t atMs);

private:
  std::string prefix_;
  std::size_t seen_ = 0;
  int64_t (*originalClock_)() = nullptr;
};

} // namespace tideloom
