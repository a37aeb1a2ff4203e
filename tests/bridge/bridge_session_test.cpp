#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

#include "bridge/background_task.h"
#include "bridge/bridge_session.h"
#include "bridge/bridge_state.h"
#include "bridge/command_poller.h"
#include "bridge/idle_executor.h"
#include "bridge_fixture.h"
#include "settings_sandbox.h"

namespace tideloom {

namespace {

class BridgeSessionTest : public BridgeTest {
protected:
  SettingsSandbox settings;
};

TEST_F(BridgeSessionTest, StoredKeyResumesTheBridgeWithoutRegistering) {
  settings.setFileBytes(R"({"licenseKey":"K\"1","baseUrl":")" + BaseUrl() + "\"}");
  StopBridge();
  ResumeBridge();
  IdleAt(10'000);
  RunBackgroundTasks();
  ASSERT_EQ(Polls(), 1u);
  EXPECT_EQ(Requests()[0].target, "/api/bridge/command/next?licenseKey=K%221&version=1.6.18");

  settings.setFileBytes(R"({"licenseKey":"K","baseUrl":""})");
  ResumeBridge();
  EXPECT_EQ(bridgeState().ReadCredentials().baseUrl, "https://api.tideloom.app");
}

TEST_F(BridgeSessionTest, ShutdownEndsTheSessionAndItsCommandsButKeepsKeyServiceAndFile) {
  Register("K");
  fakeHost().currentFileName = "Other";
  DispatchCommand({"s1", "GET_SCHEMA", R"({"fileName":"Sales"})", BaseUrl(), "K"}, FakeHostCalls());
  Deliver(R"({"id":"c1","type":"LIST_FILES"})", 10'000);
  // A poll of this session that is still out when the plug-in is stopped and started again.
  const std::optional<SessionToken> oldPoll = bridgeState().ClaimPoll(20'000, kPollSpacingMs);
  ASSERT_TRUE(oldPoll.has_value());
  Sent();
  StopBridge();
  ResumeBridge();
  EXPECT_FALSE(bridgeState().IsRegistered());
  EXPECT_EQ(bridgeState().ReadCredentials().licenseKey, "K");
  EXPECT_EQ(bridgeState().RegisteredFileName(), "Other");

  Register("K");
  Answer("/api/bridge/command/next", 200, R"({"command":{"id":"c2","type":"LIST_FILES"}})");
  pollCommandOnce(*oldPoll, BaseUrl(), "K");
  fakeHost().currentFileName = "Sales";
  const std::size_t polls = Polls();
  IdleAt(40'000);
  EXPECT_TRUE(Sent().empty()) << "neither c1, nor c2 of the old poll, nor the schema wait ran";
  EXPECT_TRUE(fakeHost().scriptStarts.empty());
  EXPECT_EQ(Polls(), polls + 1) << "the new session polls";
}

TEST_F(BridgeSessionTest, ShutdownWaitsABoundedTimeAndSkipsWorkNotYetStarted) {
  bool ran = false;
  launchBackgroundTask([&ran] { ran = true; }); // held back: to shutdown a sender still sending
  SetAdvancingClock(400);
  StopBridge();
  EXPECT_EQ(bridgeState().ActiveTasks(), 1) << "shutdown gave up waiting";
  RunBackgroundTasks();
  EXPECT_FALSE(ran);
  EXPECT_EQ(bridgeState().ActiveTasks(), 0);

  launchBackgroundTask([&ran] { ran = true; });
  EXPECT_EQ(HeldBackgroundTasks(), 0u) << "nothing starts during shutdown";
  EXPECT_EQ(bridgeState().ActiveTasks(), 0);
  ResumeBridge();
  launchBackgroundTask([&ran] { ran = true; });
  RunBackgroundTasks();
  EXPECT_TRUE(ran) << "start-up allows background work again";
}

using BackgroundTaskTest = BridgeTest;

TEST_F(BackgroundTaskTest, WithoutAThreadTheWorkRunsAtOnceOnTheCallerAndThrowsNothing) {
  launchBackgroundTask([] { throw std::runtime_error("lost"); });
  RunBackgroundTasks();
  EXPECT_EQ(bridgeState().ActiveTasks(), 0);
  startDetachedThread = [](DetachedThreadEntry, void*) { return false; };
  const std::thread::id caller = std::this_thread::get_id();
  std::thread::id ranOn;
  launchBackgroundTask([&ranOn] { ranOn = std::this_thread::get_id(); });
  EXPECT_EQ(ranOn, caller);
  launchBackgroundTask([] { throw 7; });
  EXPECT_EQ(bridgeState().ActiveTasks(), 0);
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
  EXPECT_EQ(bridgeState().ActiveTasks(), 1);
  release.store(true);
  // A loop, not a time limit: the thread ends when it ends.
  while (bridgeState().ActiveTasks() != 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(sawCopy.load());
}

} // namespace

} // namespace tideloom
