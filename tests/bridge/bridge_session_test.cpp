#include "bridge/bridge_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "bridge/background_task.h"
#include "bridge/bridge_state.h"
#include "bridge_fixture.h"
#include "settings_sandbox.h"

namespace {

class BridgeSessionTest : public BridgeTest {
protected:
  SettingsSandbox settings;
};

TEST_F(BridgeSessionTest, StoredKeyResumesTheBridgeWithoutRegistering) {
  const std::pair<const char*, const char*> stored[] = {
      {R"({"licenseKey":"K\"1","baseUrl":"http://127.0.0.1:9"})", "http://127.0.0.1:9"},
      {R"({"licenseKey":"K\"1","baseUrl":""})", "https://api.tideloom.app"},
  };
  for (const auto& [bytes, baseUrl] : stored) {
    settings.setFileBytes(bytes);
    bridgeState().shuttingDown.store(true);
    ResumeBridge();
    EXPECT_FALSE(bridgeState().shuttingDown.load());
    const std::lock_guard<std::mutex> lock(stateMutex());
    EXPECT_TRUE(bridgeState().registered);
    EXPECT_EQ(bridgeState().licenseKey, "K\"1");
    EXPECT_EQ(bridgeState().baseUrl, baseUrl);
  }
}

TEST_F(BridgeSessionTest, StopDropsCommandsButKeepsTheCredentials) {
  Register("K");
  {
    const std::lock_guard<std::mutex> lock(stateMutex());
    bridgeState().registeredFileName = "Sales";
    bridgeState().schemaWaiting = true;
    bridgeState().schemaCommandId = "s";
    bridgeState().schemaTargetFile = "Sales";
  }
  bridgeState().commandPending.store(true);
  bridgeState().pollInFlight.store(true);
  bridgeState().updateCheckRunning.store(true);
  StopBridge();

  BridgeState& state = bridgeState();
  EXPECT_TRUE(state.shuttingDown.load());
  EXPECT_FALSE(state.pollInFlight.load());
  EXPECT_FALSE(state.commandPending.load());
  EXPECT_FALSE(state.updateCheckRunning.load());
  const std::lock_guard<std::mutex> lock(stateMutex());
  EXPECT_FALSE(state.registered);
  EXPECT_FALSE(state.schemaWaiting);
  EXPECT_EQ(state.schemaCommandId, "");
  EXPECT_EQ(state.schemaTargetFile, "");
  EXPECT_EQ(state.licenseKey, "K");
  EXPECT_EQ(state.baseUrl, server.BaseUrl());
  EXPECT_EQ(state.registeredFileName, "Sales");
}

TEST_F(BridgeSessionTest, StopGivesUpWaitingForAThreadThatNeverEnds) {
  launchBackgroundTask([] {}); // held back: to shutdown it looks like a sender still sending
  ASSERT_EQ(bridgeState().activeSenders.load(), 1);
  SetAdvancingClock(400);
  StopBridge();
  EXPECT_EQ(bridgeState().activeSenders.load(), 1);
}

TEST_F(BridgeSessionTest, TaskStartedBeforeShutdownSkipsItsWorkAfterwards) {
  bool ran = false;
  launchBackgroundTask([&ran] { ran = true; });
  SetAdvancingClock(1000);
  StopBridge();
  RunBackgroundTasks();
  EXPECT_FALSE(ran);
  EXPECT_EQ(bridgeState().activeSenders.load(), 0);

  launchBackgroundTask([&ran] { ran = true; });
  EXPECT_EQ(HeldBackgroundTasks(), 0u) << "nothing starts during shutdown";
  EXPECT_EQ(bridgeState().activeSenders.load(), 0);

  ResumeBridge();
  launchBackgroundTask([&ran] { ran = true; });
  RunBackgroundTasks();
  EXPECT_TRUE(ran) << "start-up allows background work again";
}

using BackgroundTaskTest = BridgeTest;

bool RefuseThread(DetachedThreadEntry, void*) { return false; }

TEST_F(BackgroundTaskTest, WithoutAThreadTheWorkRunsAtOnceOnTheCaller) {
  startDetachedThread = RefuseThread;
  const std::thread::id caller = std::this_thread::get_id();
  std::thread::id ranOn;
  launchBackgroundTask([&ranOn] { ranOn = std::this_thread::get_id(); });
  EXPECT_EQ(ranOn, caller);
  EXPECT_EQ(bridgeState().activeSenders.load(), 0);
}

TEST_F(BackgroundTaskTest, ThrowingWorkIsDroppedAndStillCounted) {
  launchBackgroundTask([] { throw std::runtime_error("lost"); });
  RunBackgroundTasks();
  EXPECT_EQ(bridgeState().activeSenders.load(), 0);
  startDetachedThread = RefuseThread;
  launchBackgroundTask([] { throw 7; });
  EXPECT_EQ(bridgeState().activeSenders.load(), 0);
}

TEST_F(BackgroundTaskTest, RealThreadRunsItsOwnCopyOfTheInputs) {
  startDetachedThread = StartDetachedThread;
  std::atomic<bool> release{false};
  std::atomic<bool> sawCopy{false};
  {
    std::string input = "copied";
    launchBackgroundTask([input, &release, &sawCopy] {
      while (!release.load())
        std::this_thread::yield();
      sawCopy.store(input == "copied");
    });
    input = "changed";
  }
  EXPECT_EQ(bridgeState().activeSenders.load(), 1);
  release.store(true);
  // A loop, not a time limit: the thread ends when it ends.
  while (bridgeState().activeSenders.load() != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(sawCopy.load());
}

} // namespace
