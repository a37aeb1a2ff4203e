// The bridge's session: registering, resuming with the stored key, shutting down with work out.
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
#include "bridge/registration.h"
#include "bridge_fixture.h"
#include "platform/config_store.h"
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
  fakeHost.currentFileName = "Other";
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
  fakeHost.currentFileName = "Sales";
  const std::size_t polls = Polls();
  IdleAt(40'000);
  EXPECT_TRUE(Sent().empty()) << "neither c1, nor c2 of the old poll, nor the schema wait ran";
  EXPECT_TRUE(fakeHost.scriptStarts.empty());
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

class RegistrationTest : public BridgeSessionTest {
protected:
  RegistrationRequest Request(const std::string& key = "KEY-9") const {
    return {"me@example.com", key, "machine-1", BaseUrl()};
  }

  static std::string Register(const RegistrationRequest& request,
                              const std::string& fileName = "Sales") {
    return RegisterBridge(request, [fileName] { return fileName; });
  }
};

TEST_F(RegistrationTest, RejectedRegistrationNamesWhyAndChangesNothing) {
  struct Case {
    RegistrationRequest request;
    int status; // the service's answer; 0: nothing may be sent
    std::string reply;
    std::string result;
  };
  const std::string refused = "ERROR: registration refused (HTTP ";
  const Case cases[] = {
      {{"", "", "", ""}, 0, "", "ERROR: email is empty."},
      {{"e", "", "m", BaseUrl()}, 0, "", "ERROR: licenseKey is empty."},
      {{"e", "k", "", BaseUrl()}, 0, "", "ERROR: machineId is empty."},
      {Request(), 401, R"({"error":"unknown key"})", refused + R"(401): {"error":"unknown key"})"},
      // 299 ASCII bytes, then a three-byte character that the limit would cut in half.
      {Request(), 500, std::string(299, 'x') + "\xE2\x80\x94tail",
       refused + "500): " + std::string(299, 'x')},
      {Request(), 403, std::string(400, 'y'), refused + "403): " + std::string(300, 'y')},
  };
  for (const Case& c : cases) {
    if (c.status != 0) Answer("/api/bridge/register", c.status, c.reply);
    EXPECT_EQ(Register(c.request), c.result);
  }
  EXPECT_EQ(Requests().size(), 3u);
  EXPECT_FALSE(bridgeState().IsRegistered());
  EXPECT_EQ(bridgeState().RegisteredFileName(), "");
  EXPECT_FALSE(settings.fileBytes().has_value());
  EXPECT_EQ(HeldBackgroundTasks(), 0u) << "no update check";
}

TEST_F(RegistrationTest, AcceptedRegistrationSwitchesTheBridgeOnAndStoresKeyAndServiceAsGiven) {
  EXPECT_EQ(Register({"a\"b@x", "k\\1\n", "m\x01", BaseUrl() + "/"}), "OK");

  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "//api/bridge/register");
  EXPECT_EQ(
      requests[0].body,
      R"({"email":"a\"b@x","licenseKey":"k\\1\n","machineId":"m\u0001","pluginVersion":"1.6.18"})");
  EXPECT_TRUE(bridgeState().IsRegistered());
  EXPECT_EQ(bridgeState().ReadCredentials().licenseKey, "k\\1\n");
  EXPECT_EQ(bridgeState().RegisteredFileName(), "Sales");
  const std::string stored = settings.fileBytes().value_or("");
  EXPECT_EQ(ConfigValue(stored, "licenseKey"), "k\\1\n");
  EXPECT_EQ(ConfigValue(stored, "baseUrl"), BaseUrl() + "/");
  EXPECT_EQ(Sent().back().target, "//api/plugin/version");
}

TEST_F(RegistrationTest, LaterRegistrationsKeepTheKnownFileAndAFailedOneKeepsEverything) {
  ASSERT_EQ(Register(Request("FIRST")), "OK");
  ASSERT_EQ(Register(Request("FIRST"), ""), "OK");
  EXPECT_EQ(bridgeState().RegisteredFileName(), "Sales") << "a call without file context";
  const std::string storedBefore = settings.fileBytes().value_or("");

  RegistrationRequest request = Request("SECOND");
  request.baseUrl = UnreachableBaseUrl();
  const std::string result = Register(request, "Other");
  EXPECT_NE(result, "OK");
  EXPECT_FALSE(result.empty());
  EXPECT_EQ(result.rfind("ERROR: ", 0), std::string::npos) << "the HTTP layer's text, unchanged";
  EXPECT_EQ(bridgeState().ReadCredentials().licenseKey, "FIRST");
  EXPECT_EQ(bridgeState().RegisteredFileName(), "Sales");
  EXPECT_EQ(settings.fileBytes().value_or(""), storedBefore);
}

} // namespace

} // namespace tideloom
