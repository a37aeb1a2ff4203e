#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bridge/senders.h"
#include "bridge_fixture.h"

namespace tideloom {

namespace {

using Json = nlohmann::json;

// Every kind of byte that JSON must escape or carry: quotes, backslashes, control bytes,
// a line break, a tab, non-ASCII text (em dash, pilcrow, CJK, emoji).
const std::string kAwkward =
    "q\"uote \\back\\slash \x01\x1f ctl\nline\ttab \xE2\x80\x94 \xC2\xB6 \xE6\x97\xA5 "
    "\xF0\x9F\x98\x80 </x>";

using SendersTest = BridgeTest;

// The bodies of a result and its completion are checked with each command type.
TEST_F(SendersTest, ResultArrivesBeforeItsCompletionAndEveryCompletionCarriesItsOutcome) {
  pushResultAndComplete(BaseUrl(), ResultRecord("K", "FILE_LIST", "a\nb", "Open Files"), "K",
                        "cmd-1");
  EXPECT_TRUE(Requests().empty()) << "the host's thread must not wait for the network";
  finishCommand(BaseUrl(), "K", "a/b?c=d#e f", true, "partly");
  finishCommand(BaseUrl(), "K", "c8", false, "");
  const auto requests = Sent();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[2].target, "/api/bridge/command/a%2Fb%3Fc%3Dd%23e%20f/complete");
  EXPECT_EQ(requests[2].body, R"({"licenseKey":"K","status":"completed","error":"partly"})");
  EXPECT_EQ(requests[3].body, R"({"licenseKey":"K","status":"failed"})");
}

TEST_F(SendersTest, AwkwardValuesReachTheServiceIntactInEveryBody) {
  pushResult(BaseUrl(), ResultRecord(kAwkward, "XMSS", kAwkward, kAwkward));
  failCommand(BaseUrl(), kAwkward, "c2", kAwkward);
  postDiagnostic(BaseUrl(), StatusRecord(kAwkward, "LR_SCHEMA_QUEUED", "received", kAwkward));

  const auto requests = Sent();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(Json::parse(requests[0].body), Json({{"licenseKey", kAwkward},
                                                 {"xmlType", "XMSS"},
                                                 {"xmlContent", kAwkward},
                                                 {"label", kAwkward}}));
  EXPECT_EQ(Json::parse(requests[1].body),
            Json({{"licenseKey", kAwkward}, {"status", "failed"}, {"error", kAwkward}}));
  EXPECT_EQ(Json::parse(requests[2].body), Json({{"licenseKey", kAwkward},
                                                 {"code", "LR_SCHEMA_QUEUED"},
                                                 {"status", "received"},
                                                 {"message", kAwkward}}));
}

TEST_F(SendersTest, OnlyAPushThatGotNoReplyFailsTheCommand) {
  for (const int status : {-1, 500}) {
    Answer("/api/bridge/push", status, "oops");
    pushResultAndComplete(BaseUrl(), ResultRecord("K", "T", "x", ""), "K", "c3");
    const auto requests = Sent();
    ASSERT_EQ(requests.size(), 2u);
    const auto completion = Json::parse(requests[1].body);
    // An error status still means the push was delivered.
    EXPECT_EQ(completion["status"], status < 0 ? "failed" : "completed");
    EXPECT_EQ(completion.value("error", "").empty(), status > 0);
  }
}

TEST_F(SendersTest, UnreachableServiceIsGivenUpOnceQuietlyByEverySender) {
  const std::string nowhere = UnreachableBaseUrl();
  pushResultAndComplete(nowhere, "{}", "K", "c1");
  pushFormatsAndComplete(nowhere, "{}", "K", "c2", true, "");
  pushResult(nowhere, "{}");
  finishCommand(nowhere, "K", "c3", true, "");
  failCommand(nowhere, "K", "c4", "lost");
  postDiagnostic(nowhere, "{}");
  reportSchemaFailure("K", "lost", nowhere, "c5", "LR_TIMEOUT");
  std::size_t ran = 0;
  EXPECT_NO_THROW(ran = RunBackgroundTasks());
  EXPECT_EQ(ran, 7u) << "one attempt each, nothing retried";
  EXPECT_TRUE(Requests().empty());
}

} // namespace

} // namespace tideloom
