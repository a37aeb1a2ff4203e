#include <gtest/gtest.h>

#include "bridge/bridge_state.h"
#include "bridge/update_check.h"
#include "bridge_fixture.h"

namespace tideloom {

namespace {

class UpdateCheckTest : public BridgeTest {
protected:
  void CheckAgainst(const std::string& reply) {
    Answer("/api/plugin/version", 200, reply);
    Register();
    StartUpdateCheck();
    ASSERT_EQ(RunBackgroundTasks(), 1u) << "a check that ended lets the next one start";
  }
};

TEST_F(UpdateCheckTest, NoticeOnlyForANumericallyNewerVersion) {
  EXPECT_EQ(UpdateNotice(), "") << "no check has completed yet";
  const char* notNewer[] = {"1.6.18", "1.6.9", "1.5.99", "0.9", "v2.0", "beta", "2", "1.x.9", ""};
  for (const char* version : notNewer) {
    bridgeState().StoreLatestVersion(version);
    EXPECT_EQ(UpdateNotice(), "") << version;
  }
  const char* newer[] = {"1.6.19", "1.7",        "2.0.0",          "1.10.0",
                         " 1.7",   "+1.7.0-rc1", "1.6.99999999999"};
  for (const char* version : newer) {
    bridgeState().StoreLatestVersion(version);
    EXPECT_EQ(UpdateNotice(),
              std::string("TideLoom plugin v") + version +
                  " is available \xE2\x80\x94 download at tideloom.app/guide#plugin")
        << version;
  }
}

TEST_F(UpdateCheckTest, CheckReadsTheVersionTheServiceAnnouncesAndKeepsTheLastGoodOne) {
  CheckAgainst(R"({"version":"1.7.0"})");
  EXPECT_EQ(Requests().at(0).method, "GET");
  EXPECT_EQ(Requests().at(0).target, "/api/plugin/version");
  EXPECT_EQ(bridgeState().LatestVersion(), "1.7.0");
  for (const char* reply : {R"({"version": "2.0.0"})", R"({"version":"2.0.0)", "<html/>", ""}) {
    CheckAgainst(reply);
    EXPECT_EQ(bridgeState().LatestVersion(), "1.7.0") << reply;
  }
  bridgeState().Configure("K", UnreachableBaseUrl());
  StartUpdateCheck();
  RunBackgroundTasks();
  EXPECT_EQ(bridgeState().LatestVersion(), "1.7.0");
  StartUpdateCheck();
  EXPECT_EQ(HeldBackgroundTasks(), 1u) << "a failed check ends too";
}

} // namespace

} // namespace tideloom
