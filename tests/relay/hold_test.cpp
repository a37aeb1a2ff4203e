// The development switch that leaves requests unanswered.
#include <chrono>
#include <future>
#include <thread>

#include "relay/relay_holds.h"
#include "relay_test_fixture.h"

TEST_F(RelayTest, HoldsKeepOnlyTheBridgeWaitingUntilLiftedOrTheRelayStops) {
  RelayServiceConfig config;
  config.holds = {HoldRule{"/*", 600}};
  StartRelay(config);
  Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  // Waits for the relay to hold one request; the bound only keeps a broken build from hanging.
  const auto oneHeld = [this] {
    for (int i = 0; i < 10000 && HeldRequestCount(relay->context.holds) != 1; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return HeldRequestCount(relay->context.holds) == 1;
  };
  const auto heldPoll = [port = relay->port] {
    return std::async(std::launch::async, [port] {
      httplib::Client own("127.0.0.1", port);
      own.set_read_timeout(700, 0);
      const auto result = own.Get("/api/bridge/command/next?licenseKey=K1&version=1.6.18");
      return result ? result->body : std::string();
    });
  };
  auto poll = heldPoll();
  ASSERT_TRUE(oneHeld());
  EXPECT_EQ(poll.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  // The page and /dev/ are never held, so the hold can be seen and lifted.
  client->set_read_timeout(5, 0);
  EXPECT_EQ(Get("/").status, 200);
  EXPECT_EQ(Get("/dev/hold").json().at("held"), 1);
  Post("/dev/hold", R"({"route":"/*","seconds":0})");
  EXPECT_NE(poll.get().find("LIST_FILES"), std::string::npos);
  EXPECT_TRUE(Get("/dev/hold").json().at("holds").empty());

  Post("/dev/hold", R"({"route":"/api/bridge/command/next","seconds":600})");
  poll = heldPoll();
  ASSERT_TRUE(oneHeld());
  const auto stopping = std::chrono::steady_clock::now();
  StopRelay(); // would take ten minutes if the hold were not ended
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(3));
  poll.get();
}

TEST_F(RelayTest, ClientsThatStallMidRequestLeaveTheOthersAnswered) {
  for (int i = 0; i < 20; ++i)
    SendRaw("GET /dev/hold HTTP/1.1\r\nHost: 127.0.0.1\r\n");
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(Get("/dev/hold").status, 200);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
}
