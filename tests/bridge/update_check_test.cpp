#include "bridge/update_check.h"

#include <gtest/gtest.h>

#include <mutex>

#include "bridge/bridge_state.h"
#include "bridge_fixture.h"

namespace {

class UpdateCheckTest : public BridgeTest {
protected:
  void SetLatest(const std::string& version) {
    ChangeState([&version](BridgeState& state) { state.latestVersion = version; });
  }
  std::string Latest() {
    const std::lock_guard<std::mutex> lock(stateMutex());
    return bridgeState().latestVersion;
  }
  void CheckAgainst(const std::string& reply) {
    server.Answer("/api/plugin/version", 200, reply);
    Register();
    StartUpdateCheck();
    RunBackgroundTasks();
  }
};

TEST_F(UpdateCheckTest, NoticeOnlyForANumericallyNewerVersion) {
  EXPECT_EQ(UpdateNotice(), "") << "no check has completed yet";
  const char* notNewer[] = {"1.6.18", "1.6.9", "1.5.99", "0.9", "v2.0", "beta", "2", "1.x.9", ""};
  for (const char* version : notNewer) {
    SetLatest(version);
    EXPECT_EQ(UpdateNotice(), "") << version;
  }
  const char* newer[] = {"1.6.19", "1.7",        "2.0.0",          "1.10.0",
                         " 1.7",   "+1.7.0-rc1", "1.6.99999999999"};
  for (const char* version : newer) {
    SetLatest(version);
    EXPECT_EQ(UpdateNotice(),
              std::string("TideLoom plugin v") + version +
                  " is available \xE2\x80\x94 download at tideloom.app/guide#plugin")
        << version;
  }
}

TEST_F(UpdateCheckTest, CheckReadsTheVersionTheServiceAnnounces) {
  CheckAgainst(R"({"version":"1.7.0"})");
  EXPECT_EQ(server.Requests().at(0).method, "GET");
  EXPECT_EQ(server.Requests().at(0).target, "/api/plugin/version");
  EXPECT_EQ(Latest(), "1.7.0");
  EXPECT_FALSE(bridgeState().updateCheckRunning.load());
}

TEST_F(UpdateCheckTest, UnreadableAnswersAndFailedExchangesKeepTheLastGoodVersion) {
  SetLatest("1.7.0");
  for (const char* reply : {R"({"version": "2.0.0"})", R"({"version":"2.0.0)", "<html/>", ""}) {
    CheckAgainst(reply);
    EXPECT_EQ(Latest(), "1.7.0") << reply;
  }
  ChangeState([](BridgeState& state) { state.baseUrl = UnreachableBaseUrl(); });
  StartUpdateCheck();
  RunBackgroundTasks();
  EXPECT_EQ(Latest(), "1.7.0");
  EXPECT_FALSE(bridgeState().updateCheckRunning.load());
}

} // namespace
