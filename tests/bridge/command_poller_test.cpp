#include "bridge/command_poller.h"

#include <gtest/gtest.h>

#include <mutex>

#include "bridge/bridge_state.h"
#include "bridge_fixture.h"

namespace {

struct ReplyCase {
  const char* reply;
  const char* id; // empty: no command
  const char* type;
};

TEST(PollReplyTest, TellsCommandsFromNothingByTheTextAlone) {
  const ReplyCase cases[] = {
      {R"({"command":null})", "", ""},
      {R"({"command": null})", "", ""},
      // Not the null form, and without an id: ignored all the same.
      {R"({"command" : null})", "", ""},
      {R"({"command":{"id":"1","type":"LIST_FILES"}})", "1", "LIST_FILES"},
      {R"({"command":{"id":"7","type":"X"},"previous":{"command":null}})", "", ""},
      {R"({"command":{"id":"","type":"LIST_FILES"}})", "", ""},
      {R"({"command":{"type":"LIST_FILES"}})", "", ""},
      {R"({"command":{"id":"9"}})", "", ""},
      {R"({"command":{"id":42,"type":"LIST_FILES"}})", "", ""},
      {R"({"command":{"id": "42","type":"LIST_FILES"}})", "", ""},
      {R"({"id":"a\"b","type":"T"})", "a\"b", "T"},
      {"", "", ""},
      {"<html>502 Bad Gateway</html>", "", ""},
      {"\"command\":nul", "", ""},
  };
  for (const ReplyCase& c : cases) {
    const PollReply parsed = ClassifyPollReply(c.reply);
    EXPECT_EQ(parsed.id, c.id) << c.reply;
    EXPECT_EQ(parsed.type, c.type) << c.reply;
  }
}

using PollOnceTest = BridgeTest;

TEST_F(PollOnceTest, StoresTheWholeReplyAndRaisesThePendingFlag) {
  const std::string reply = R"({"command":{"id":"c1","type":"SET_CLIPBOARD","xmlType":"XMSS"}})";
  server.Answer("/api/bridge/command/next", 200, reply);
  bridgeState().pollInFlight.store(true);
  pollCommandOnce(server.BaseUrl(), "k&y");

  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].method, "GET");
  EXPECT_EQ(server.Requests()[0].target,
            "/api/bridge/command/next?licenseKey=k%26y&version=1.6.18");
  EXPECT_TRUE(bridgeState().commandPending.load());
  EXPECT_FALSE(bridgeState().pollInFlight.load());
  const std::lock_guard<std::mutex> lock(stateMutex());
  EXPECT_EQ(bridgeState().pendingCommandId, "c1");
  EXPECT_EQ(bridgeState().pendingCommandType, "SET_CLIPBOARD");
  EXPECT_EQ(bridgeState().pendingCommandBody, reply);
}

TEST_F(PollOnceTest, FailedOrEmptyPollsReleaseTheFlagAndStoreNothing) {
  server.Answer("/api/bridge/command/next", 401, R"({"error":"bad key"})");
  for (const std::string& base : {server.BaseUrl(), UnreachableBaseUrl()}) {
    bridgeState().pollInFlight.store(true);
    pollCommandOnce(base, "K");
    EXPECT_FALSE(bridgeState().pollInFlight.load());
    EXPECT_FALSE(bridgeState().commandPending.load());
  }
  bridgeState().pollInFlight.store(true);
  pollCommandOnce("not a url", "K");
  EXPECT_FALSE(bridgeState().pollInFlight.load());
}

} // namespace
