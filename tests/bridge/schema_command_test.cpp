#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bridge/bridge_state.h"
#include "bridge/idle_executor.h"
#include "bridge/live_push_upload.h"
#include "bridge/schema_command.h"
#include "bridge_fixture.h"

namespace tideloom {

namespace {

using Json = nlohmann::json;
using ScriptStart = std::pair<std::string, std::string>;

constexpr const char* kTimeoutMessage =
    "\"Sales\" was not the active FileMaker file within 30 seconds. Make sure the file is open "
    "and try again.";

class SchemaCommandTest : public BridgeTest {
protected:
  void SetUp() override {
    BridgeTest::SetUp();
    Register("K");
    bridgeState().SetRegisteredFileName("Registered");
    fakeHost().currentFileName = "Other";
  }

  void Queue(const std::string& id, const std::string& body, int64_t atMs = 0) {
    SetClock(atMs);
    DispatchCommand({id, "GET_SCHEMA", body, BaseUrl(), "K"}, FakeHostCalls());
  }

  // The command a Live Push upload from `fileName` would complete; it is taken by the asking.
  static std::string CommandAnsweredFrom(const std::string& fileName) {
    return PrepareLivePushUpload("/x.xml", fileName).commandId;
  }

  static Json Body(const RecordedRequest& request) { return Json::parse(request.body); }
};

TEST_F(SchemaCommandTest, ScriptStartsWhenTheFileBecomesActiveInAnyAsciiCaseOnly) {
  Queue("s1", R"({"fileName":"sales"})");
  Sent();
  for (const char* current : {"Other", "Sales.fmp12", "Sales ", "S\xC3\xA1les"}) {
    fakeHost().currentFileName = current;
    IdleAt(10'000);
  }
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(Polls(), 1u) << "a wait that goes on leaves the idle call its other work";
  EXPECT_TRUE(fakeHost().scriptStarts.empty());

  fakeHost().currentFileName = "SALES";
  IdleAt(20'000);
  const auto sent = Sent();
  EXPECT_EQ(Polls(), 1u) << "the call that starts the script does nothing else";
  EXPECT_EQ(fakeHost().scriptStarts, (std::vector<ScriptStart>{{"", "TideLoom Live Push"}}));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].body, R"({"licenseKey":"K","code":"LR_SCRIPT_TRIGGER","status":"received",)"
                          R"("message":"Triggering \"TideLoom Live Push\" in \"sales\"..."})");
  EXPECT_EQ(sent[1].body, "{\"licenseKey\":\"K\",\"code\":\"LR_SCRIPT_TRIGGERED\",\"status\":"
                          "\"received\",\"message\":\"Script queued \xE2\x80\x94 waiting for "
                          "FileMaker to run \\\"TideLoom Live Push\\\"...\"}");
  IdleAt(90'000);
  EXPECT_TRUE(Sent().empty()) << "a started script has no time limit";
  EXPECT_EQ(fakeHost().scriptStarts.size(), 1u);
  EXPECT_EQ(CommandAnsweredFrom("Sales"), "s1") << "the script's upload completes the command";
}

TEST_F(SchemaCommandTest, BusyHostDelaysTheStartAndAWaitInVainEndsJustAfterThirtySeconds) {
  fakeHost().currentFileName = "Sales";
  Queue("s1", R"({"fileName":"Sales"})", 1'000);
  Sent();
  IdleAt(5'000, 2);
  IdleAt(31'000, 3);
  EXPECT_TRUE(Sent().empty()) << "exactly 30 s is still within the limit";
  IdleAt(45'000, 1);
  EXPECT_EQ(fakeHost().scriptStarts.size(), 1u) << "a quiet match ends the wait however late";

  fakeHost().scriptStarts.clear();
  Queue("s2", R"({"fileName":"Sales"})", 100'000);
  Sent();
  const std::size_t polls = Polls();
  IdleAt(130'001, 2);
  const auto sent = Sent();
  EXPECT_EQ(Polls(), polls) << "the call that gives up does nothing else";
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].target, "/api/bridge/diagnostic");
  EXPECT_EQ(Body(sent[0]), Json({{"licenseKey", "K"},
                                 {"code", "LR_TIMEOUT"},
                                 {"status", "error"},
                                 {"message", kTimeoutMessage}}));
  EXPECT_EQ(sent[1].target, "/api/bridge/command/s2/complete");
  EXPECT_EQ(Body(sent[1]),
            Json({{"licenseKey", "K"}, {"status", "failed"}, {"error", kTimeoutMessage}}));
  EXPECT_FALSE(bridgeState().ReadSchemaWait().waiting);
  EXPECT_EQ(CommandAnsweredFrom("Sales"), "");
  EXPECT_TRUE(fakeHost().scriptStarts.empty());
}

TEST_F(SchemaCommandTest, ScriptIsTriedInTheCurrentFileThenByNameThenUnderItsSecondName) {
  const ScriptStart current{"", "TideLoom Live Push"}, byName{"SALES", "TideLoom Live Push"},
      current2{"", "Tide Loom Live Push"}, byName2{"SALES", "Tide Loom Live Push"};
  const std::string notFound = "Could not find the Live Push script in \"Sales\". Name it exactly "
                               "\"TideLoom Live Push\" and try again.";
  const std::string queued = "Script queued \xE2\x80\x94 waiting for FileMaker to run ";
  const auto couldNotStart = [](const std::string& error) {
    return "Could not start \"TideLoom Live Push\" in \"Sales\" (FM error " + error +
           "). Make sure the file is open.";
  };
  struct Case {
    std::vector<int16_t> answers;
    std::vector<ScriptStart> starts;
    bool failed;
    std::string message; // the last status record's
  };
  const Case cases[] = {
      {{104, 104}, {current, byName, current2}, false, queued + "\"Tide Loom Live Push\"..."},
      // Any other first error is retried by file name only.
      {{3, 0}, {current, byName}, false, queued + "\"TideLoom Live Push\"..."},
      {{104, 104, 104, 104}, {current, byName, current2, byName2}, true, notFound},
      {{1825, 1825}, {current, byName}, true, notFound},
      {{825, 825},
       {current, byName},
       true,
       "FileMaker blocked TideLoom from starting \"TideLoom Live Push\" in \"Sales\" (FM error "
       "825). In Manage Security > Advanced Settings > Extended Privileges, enable fmplugin for "
       "this account's privilege set, or add fmpluginTdLm for the TideLoom plug-in."},
      {{-3, -1202}, {current, byName}, true, couldNotStart("-1202")},
      {{104, 104, 1, -32768}, {current, byName, current2, byName2}, true, couldNotStart("-32768")},
  };
  fakeHost().currentFileName = "SALES";
  for (const Case& c : cases) {
    fakeHost().scriptStarts.clear();
    fakeHost().scriptStartAnswers = c.answers;
    Queue("s9", R"({"fileName":"Sales"})");
    Sent();
    IdleAt(1'000);
    EXPECT_EQ(fakeHost().scriptStarts, c.starts) << c.message;
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), c.failed ? 3u : 2u) << c.message;
    EXPECT_EQ(CommandAnsweredFrom("Sales"), c.failed ? "" : "s9") << c.message;
    if (!c.failed) {
      EXPECT_EQ(Body(sent[1])["message"], c.message);
      continue;
    }
    EXPECT_EQ(Body(sent[1]), Json({{"licenseKey", "K"},
                                   {"code", "LR_SCRIPT_ERROR"},
                                   {"status", "error"},
                                   {"message", c.message}}));
    EXPECT_EQ(sent[2].target, "/api/bridge/command/s9/complete");
    EXPECT_EQ(Body(sent[2]),
              Json({{"licenseKey", "K"}, {"status", "failed"}, {"error", c.message}}));
  }
}

TEST_F(SchemaCommandTest, SecondCommandReplacesTheFirstWhichIsNeverAnswered) {
  Queue("s1", R"({"fileName":"Sales"})");
  Queue("s2", R"({"fileName":"Other"})", 20'000);
  IdleAt(21'000);
  IdleAt(60'000);
  for (const RecordedRequest& request : Sent())
    EXPECT_EQ(request.target.find("/s1/"), std::string::npos) << request.target;
  EXPECT_EQ(fakeHost().scriptStarts.size(), 1u);
  EXPECT_EQ(CommandAnsweredFrom("Other"), "s2");
}

TEST_F(SchemaCommandTest, WaitAnsweredByAnUploadAlreadyEndsQuietly) {
  Queue("s1", R"({"fileName":"Sales"})");
  Sent();
  // The user ran the script by hand in the target file before the plug-in started it.
  EXPECT_EQ(CommandAnsweredFrom("Sales"), "s1");
  IdleAt(40'000);
  EXPECT_TRUE(Sent().empty()) << "no time-out is reported for an answered command";
  EXPECT_EQ(Polls(), 1u) << "the idle call goes on with its other work";
  EXPECT_FALSE(bridgeState().ReadSchemaWait().waiting);
  EXPECT_TRUE(fakeHost().scriptStarts.empty());
}

} // namespace

} // namespace tideloom
