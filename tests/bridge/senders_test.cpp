#include "bridge/senders.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bridge_fixture.h"

namespace {

// Every kind of byte that JSON must escape or carry: quotes, backslashes, control bytes,
// a line break, a tab, non-ASCII text (em dash, pilcrow, CJK, emoji).
const std::string kAwkward =
    "q\"uote \\back\\slash \x01\x1f ctl\nline\ttab \xE2\x80\x94 \xC2\xB6 \xE6\x97\xA5 "
    "\xF0\x9F\x98\x80 </x>";

using SendersTest = BridgeTest;

TEST_F(SendersTest, PushedResultArrivesBeforeItsCompletionWithExactBodies) {
  pushResultAndComplete(server.BaseUrl(), ResultRecord("K", "FILE_LIST", "a\nb", "Open Files"), "K",
                        "cmd-1");
  EXPECT_TRUE(server.Requests().empty()) << "the host's thread must not wait for the network";
  RunBackgroundTasks();

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/api/bridge/push");
  EXPECT_EQ(requests[0].contentType, "application/json");
  EXPECT_EQ(requests[0].userAgent, "TideLoom/1.0");
  EXPECT_EQ(requests[0].body,
            R"({"licenseKey":"K","xmlType":"FILE_LIST","xmlContent":"a\nb","label":"Open Files"})");
  EXPECT_EQ(requests[1].target, "/api/bridge/command/cmd-1/complete");
  EXPECT_EQ(requests[1].body, R"({"licenseKey":"K","status":"completed"})");
}

TEST_F(SendersTest, AwkwardValuesReachTheServiceIntactInEveryBody) {
  const std::string base = server.BaseUrl();
  pushResult(base, ResultRecord(kAwkward, "XMSS", kAwkward, kAwkward));
  failCommand(base, kAwkward, "c2", kAwkward);
  postDiagnostic(base, StatusRecord(kAwkward, "LR_SCHEMA_QUEUED", "received", kAwkward));
  RunBackgroundTasks();

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  const auto record = nlohmann::json::parse(requests[0].body);
  EXPECT_EQ(record["licenseKey"], kAwkward);
  EXPECT_EQ(record["xmlContent"], kAwkward);
  EXPECT_EQ(record["label"], kAwkward);
  const auto completion = nlohmann::json::parse(requests[1].body);
  EXPECT_EQ(completion["licenseKey"], kAwkward);
  EXPECT_EQ(completion["status"], "failed");
  EXPECT_EQ(completion["error"], kAwkward);
  EXPECT_EQ(requests[2].target, "/api/bridge/diagnostic");
  const auto status = nlohmann::json::parse(requests[2].body);
  EXPECT_EQ(status["message"], kAwkward);
  EXPECT_EQ(status["code"], "LR_SCHEMA_QUEUED");
  EXPECT_EQ(requests[2].body.find(": "), std::string::npos) << "no blanks between tokens";
}

TEST_F(SendersTest, OnlyAPushThatGotNoReplyFailsTheCommand) {
  server.Answer("/api/bridge/push", -1, ""); // the connection drops unanswered
  pushResultAndComplete(server.BaseUrl(), ResultRecord("K", "T", "x", ""), "K", "c3");
  RunBackgroundTasks();
  ASSERT_EQ(server.Requests().size(), 2u);
  const auto completion = nlohmann::json::parse(server.Requests()[1].body);
  EXPECT_EQ(completion["status"], "failed");
  EXPECT_FALSE(completion["error"].get<std::string>().empty());

  server.Answer("/api/bridge/push", 500, "oops");
  pushResultAndComplete(server.BaseUrl(), ResultRecord("K", "T", "x", ""), "K", "c4");
  RunBackgroundTasks();
  EXPECT_EQ(server.Requests().at(3).body, R"({"licenseKey":"K","status":"completed"})")
      << "an error status still means the push was delivered";
}

TEST_F(SendersTest, FinishedCommandCarriesItsErrorTextAndItsEncodedId) {
  finishCommand(server.BaseUrl(), "K", "a/b?c=d#e f", true, "partly");
  finishCommand(server.BaseUrl(), "K", "c8", false, "");
  RunBackgroundTasks();

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/api/bridge/command/a%2Fb%3Fc%3Dd%23e%20f/complete");
  EXPECT_EQ(requests[0].body, R"({"licenseKey":"K","status":"completed","error":"partly"})");
  EXPECT_EQ(requests[1].body, R"({"licenseKey":"K","status":"failed"})");
}

TEST_F(SendersTest, UnreachableServiceIsDroppedSilently) {
  pushResultAndComplete(UnreachableBaseUrl(), ResultRecord("K", "T", "x", ""), "K", "c10");
  EXPECT_EQ(RunBackgroundTasks(), 1u);
}

} // namespace
