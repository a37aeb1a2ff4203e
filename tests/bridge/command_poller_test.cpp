#include <gtest/gtest.h>

#include "bridge/bridge_state.h"
#include "bridge/command_poller.h"
#include "bridge_fixture.h"

namespace tideloom {

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

TEST_F(PollOnceTest, AFaultyServiceFailsThePollAndPollingGoesOnWithNothingRunTwice) {
  const std::string command = R"({"command":{"id":"7","type":"LIST_FILES"}})";
  const struct {
    int status;
    std::string body;
    nlohmann::json faults;
  } services[] = {
      {401, R"({"error":"bad key"})", nlohmann::json::object()},
      {500, "<html><body>502 Bad Gateway</body></html>", nlohmann::json::object()},
      {200, "", {{"bodySize", 10 << 20}}}, // 10 MiB of zero bytes
      {200, command, {{"sendBytes", 20}}}, // closes in the middle of the body
      {-1, "", nlohmann::json::object()},  // closes without a reply
  };
  for (const auto& service : services) {
    Answer("/api/bridge/command/next", service.status, service.body, service.faults);
    for (const std::string& base : {BaseUrl(), UnreachableBaseUrl(), std::string("not a url")}) {
      pollCommandOnce(bridgeState().ClaimPoll(0, 0).value(), base, "K");
      EXPECT_FALSE(bridgeState().TakePendingCommand().has_value()) << base << service.body;
    }
  }
  // Once the service answers properly the command runs, once.
  Register();
  Answer("/api/bridge/command/next", 200, command);
  pollCommandOnce(bridgeState().ClaimPoll(0, 0).value(), BaseUrl(), "K");
  Idle();
  Idle();
  std::size_t completions = 0;
  for (const RecordedRequest& request : Sent())
    completions += request.target == "/api/bridge/command/7/complete";
  EXPECT_EQ(completions, 1u);
}

} // namespace

} // namespace tideloom
