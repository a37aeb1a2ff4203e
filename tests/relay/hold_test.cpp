// The development switch that leaves requests unanswered.
#include <chrono>
#include <future>
#include <thread>

#include "relay/relay_holds.h"
#include "relay_test_fixture.h"

using nlohmann::json;

namespace {

// Waits for the relay to report `count` held requests; the bound only keeps a broken build
// from hanging the run.
bool WaitForHeld(HoldTable& holds, std::size_t count) {
  for (int i = 0; i < 10000; ++i) {
    if (HeldRequestCount(holds) == count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

} // namespace

TEST(HoldRoute, ExactPathsAndStarPrefixes) {
  EXPECT_TRUE(HoldRouteMatches("/api/bridge/push", "/api/bridge/push"));
  EXPECT_FALSE(HoldRouteMatches("/api/bridge/push", "/api/bridge/pushx"));
  EXPECT_TRUE(HoldRouteMatches("/api/*", "/api/live/ingest/K"));
  EXPECT_TRUE(HoldRouteMatches("/api/*", "/api/"));
  EXPECT_FALSE(HoldRouteMatches("/api/*", "/dev/events"));
}

TEST_F(RelayTest, AHeldPollIsAnsweredOnlyAfterTheHoldIsLifted) {
  ASSERT_EQ(Post("/dev/hold", R"({"route":"/api/bridge/command/next","seconds":600})").status, 200);
  Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});

  auto poll = std::async(std::launch::async, [port = relay->port] {
    httplib::Client own("127.0.0.1", port);
    own.set_read_timeout(700, 0);
    const auto result = own.Get("/api/bridge/command/next?licenseKey=K1&version=1.6.18");
    return result ? result->body : std::string();
  });
  ASSERT_TRUE(WaitForHeld(relay->context.holds, 1));
  EXPECT_EQ(poll.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  // Other routes are not held meanwhile.
  EXPECT_EQ(Get("/dev/hold").json().at("held"), 1);

  Post("/dev/hold", R"({"route":"/api/bridge/command/next","seconds":0})");
  EXPECT_NE(poll.get().find("LIST_FILES"), std::string::npos);
  EXPECT_TRUE(Get("/dev/hold").json().at("holds").empty());
}

TEST_F(RelayTest, StoppingTheRelayEndsHoldsStraightAway) {
  RelayServiceConfig config;
  config.holds = {HoldRule{"/api/plugin/version", 600}};
  StartRelay(config);
  auto check = std::async(std::launch::async, [port = relay->port] {
    httplib::Client own("127.0.0.1", port);
    own.set_read_timeout(700, 0);
    return static_cast<bool>(own.Get("/api/plugin/version"));
  });
  ASSERT_TRUE(WaitForHeld(relay->context.holds, 1));
  StopRelay(); // would take ten minutes if the hold were not ended
  check.get();
  SUCCEED();
}
