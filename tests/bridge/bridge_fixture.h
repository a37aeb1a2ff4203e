// What every bridge test starts from: a bridge state as at load, a clock the test sets, and
// background tasks held back until the test runs them on its own thread, in order.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/bridge_state.h"
#include "bridge/idle_host.h"
#include "loopback_server.h"

// Puts every field of the bridge state back as it is when the plug-in has just been loaded.
void ResetBridgeState();

// The host and clipboard as the idle executor sees them, scripted by the test. Members start
// empty so that cases name only what they set; a non-empty error makes that call fail with it,
// and the context report names the file it was asked for.
struct FakeHost {
  std::string currentFileName{};
  int fileNameLookups = 0;
  std::string openFiles{};
  std::vector<std::pair<std::string, std::string>> clipboard{}; // (type, XML) as copied
  std::string clipboardReadError{};
  std::string formatsListing{};
  std::string formatsError{};
  std::string setError{};
  int clipboardWrites = 0;
  std::string writtenType{};
  std::string writtenXml{};
  // Script starts, as (file name, script name), an empty file name for the current file. Each
  // start takes the next answer; once they are used up the host answers 0 (started).
  std::vector<std::pair<std::string, std::string>> scriptStarts{};
  std::vector<int16_t> scriptStartAnswers{};
};

// Changes the bridge state under its lock, as the plug-in's own threads do.
template <class Change> void ChangeState(Change change) {
  const std::lock_guard<std::mutex> lock(stateMutex());
  change(bridgeState());
}

FakeHost& fakeHost();
const IdleHostCalls& FakeHostCalls();

class BridgeTest : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the background tasks started so far (and any they start), oldest first.
  std::size_t RunBackgroundTasks();
  std::size_t HeldBackgroundTasks() const;

  void SetClock(int64_t ms);
  // A clock that moves on by `stepMs` at every reading, for waits that watch it.
  void SetAdvancingClock(int64_t stepMs);
  // Registers the bridge with `server` as its service.
  void Register(const std::string& licenseKey = "KEY-1");
  // One idle call with the fake host.
  void Idle(uint8_t idleLevel = 0);

  LoopbackServer server;

private:
  int64_t (*originalClock_)() = nullptr;
};
