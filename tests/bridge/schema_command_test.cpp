#include "bridge/schema_command.h"

#include <gtest/gtest.h>

#include <mutex>
#include <nlohmann/json.hpp>

#include "bridge/bridge_state.h"
#include "bridge/idle_executor.h"
#include "bridge_fixture.h"
#include "schema/live_push.h"

namespace {

using Json = nlohmann::json;
using ScriptStart = std::pair<std::string, std::string>;

constexpr const char* kDiagnosticPath = "/api/bridge/diagnostic";
constexpr const char* kTimeoutMessage =
    "\"Sales\" was not the active FileMaker file within 30 seconds. Make sure the file is open "
    "and try again.";

class SchemaCommandTest : public BridgeTest {
protected:
  void SetUp() override {
    BridgeTest::SetUp();
    server.Answer("/api/bridge/command/next", 200, R"({"command":null})");
    Register("K");
    ChangeState([](BridgeState& state) { state.registeredFileName = "Registered"; });
    fakeHost().currentFileName = "Other";
  }

  void Queue(const std::string& id, const std::string& body, int64_t atMs = 0) {
    SetClock(atMs);
    DispatchCommand({id, "GET_SCHEMA", body, server.BaseUrl(), "K"}, FakeHostCalls());
  }

  // Runs what was started and returns the requests the service got since the last call, polls
  // left out; `polled` tells whether one of those was a poll.
  std::vector<ReceivedRequest> Sent(bool* polled = nullptr) {
    RunBackgroundTasks();
    const auto all = server.Requests();
    std::vector<ReceivedRequest> fresh;
    bool sawPoll = false;
    for (std::size_t i = seen_; i < all.size(); ++i) {
      if (all[i].target.rfind("/api/bridge/command/next", 0) == 0) {
        sawPoll = true;
      } else {
        fresh.push_back(all[i]);
      }
    }
    seen_ = all.size();
    if (polled != nullptr) *polled = sawPoll;
    return fresh;
  }

  void IdleAt(int64_t atMs, uint8_t idleLevel = 0) {
    SetClock(atMs);
    Idle(idleLevel);
  }

  static Json Body(const ReceivedRequest& request) { return Json::parse(request.body); }

  struct SchemaFields {
    std::string schemaCommandId;
    std::string schemaTargetFile;
    bool schemaWaiting;
    int64_t schemaQueuedAtMs;
  };
  static SchemaFields Snapshot() {
    const std::lock_guard<std::mutex> lock(stateMutex());
    const BridgeState& state = bridgeState();
    return {state.schemaCommandId, state.schemaTargetFile, state.schemaWaiting,
            state.schemaQueuedAtMs};
  }

  std::size_t seen_ = 0;
};

TEST_F(SchemaCommandTest, QueueingPushesTheFileListThenReportsTheWait) {
  fakeHost().openFiles = "Sales\nOther";
  Queue("s1", R"({"id":"s1","type":"GET_SCHEMA","fileName":"Sales"})", 5'000);

  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].target, "/api/bridge/push");
  EXPECT_EQ(
      sent[0].body,
      R"({"licenseKey":"K","xmlType":"FILE_LIST","xmlContent":"Sales\nOther","label":"Open Files"})");
  EXPECT_EQ(sent[1].target, kDiagnosticPath);
  EXPECT_EQ(sent[1].body, "{\"licenseKey\":\"K\",\"code\":\"LR_SCHEMA_QUEUED\",\"status\":"
                          "\"received\",\"message\":\"Queued \xE2\x80\x94 waiting for "
                          "\\\"Sales\\\" to be active in FileMaker...\"}");
  const SchemaFields state = Snapshot();
  EXPECT_EQ(state.schemaCommandId, "s1");
  EXPECT_EQ(state.schemaTargetFile, "Sales");
  EXPECT_TRUE(state.schemaWaiting);
  EXPECT_EQ(state.schemaQueuedAtMs, 5'000);
}

TEST_F(SchemaCommandTest, WithoutFileNameTheRegisteredFileIsTargetedAndAnEmptyListIsNotPushed) {
  Queue("s1", R"({"id":"s1","type":"GET_SCHEMA"})");
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Body(sent[0])["message"],
            "Queued \xE2\x80\x94 waiting for \"Registered\" to be active in FileMaker...");
  EXPECT_EQ(Snapshot().schemaTargetFile, "Registered");
}

TEST_F(SchemaCommandTest, WithNoTargetAtAllTheCommandFailsAndNothingWaits) {
  ChangeState([](BridgeState& state) { state.registeredFileName.clear(); });
  fakeHost().openFiles = "Sales";
  Queue("s1", R"({"id":"s1","type":"GET_SCHEMA","fileName":""})");
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].target, "/api/bridge/command/s1/complete");
  EXPECT_EQ(Body(sent[0])["status"], "failed");
  EXPECT_EQ(Body(sent[0])["error"],
            "No FM file registered. Open your FM file and let TideLoom.Register() run first.");
  EXPECT_FALSE(Snapshot().schemaWaiting);
}

TEST_F(SchemaCommandTest, ScriptStartsWhenTheFileBecomesActiveInAnyAsciiCase) {
  Queue("s1", R"({"fileName":"sales"})");
  Sent();

  bool polled = false;
  IdleAt(10'000);
  EXPECT_TRUE(Sent(&polled).empty());
  EXPECT_TRUE(polled) << "a wait that goes on leaves the idle call its other work";
  EXPECT_TRUE(fakeHost().scriptStarts.empty());

  fakeHost().currentFileName = "SALES";
  IdleAt(20'000);
  const auto sent = Sent(&polled);
  EXPECT_FALSE(polled) << "the call that starts the script does nothing else";
  EXPECT_EQ(fakeHost().scriptStarts, (std::vector<ScriptStart>{{"", "TideLoom Live Push"}}));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].body, R"({"licenseKey":"K","code":"LR_SCRIPT_TRIGGER","status":"received",)"
                          R"("message":"Triggering \"TideLoom Live Push\" in \"sales\"..."})");
  EXPECT_EQ(sent[1].body, "{\"licenseKey\":\"K\",\"code\":\"LR_SCRIPT_TRIGGERED\",\"status\":"
                          "\"received\",\"message\":\"Script queued \xE2\x80\x94 waiting for "
                          "FileMaker to run \\\"TideLoom Live Push\\\"...\"}");
  const SchemaFields state = Snapshot();
  EXPECT_FALSE(state.schemaWaiting);
  EXPECT_EQ(state.schemaCommandId, "s1") << "the script's upload completes the command";
  EXPECT_EQ(state.schemaTargetFile, "sales");

  IdleAt(90'000);
  EXPECT_TRUE(Sent().empty()) << "a started script has no time limit";
  EXPECT_EQ(fakeHost().scriptStarts.size(), 1u);
}

TEST_F(SchemaCommandTest, NamesThatDifferBeyondAsciiCaseNeverMatch) {
  Queue("s1", R"({"fileName":"Sales"})");
  for (const char* current : {"Sales.fmp12", "Sales ", "S\xC3\xA1les"}) {
    fakeHost().currentFileName = current;
    IdleAt(15'000);
  }
  EXPECT_TRUE(fakeHost().scriptStarts.empty());
}

TEST_F(SchemaCommandTest, BusyHostDelaysTheStartUntilAQuietIdleCallEvenPastTheLimit) {
  fakeHost().currentFileName = "Sales";
  Queue("s1", R"({"fileName":"Sales"})");
  Sent();
  IdleAt(5'000, 2);
  IdleAt(6'000, 3);
  EXPECT_TRUE(fakeHost().scriptStarts.empty());
  IdleAt(45'000, 1);
  EXPECT_EQ(fakeHost().scriptStarts.size(), 1u);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(Body(sent[0])["code"], "LR_SCRIPT_TRIGGER");
  EXPECT_EQ(Body(sent[1])["code"], "LR_SCRIPT_TRIGGERED");
}

TEST_F(SchemaCommandTest, WaitThatStaysBusyTimesOutJustAfterThirtySeconds) {
  fakeHost().currentFileName = "Sales";
  Queue("s1", R"({"fileName":"Sales"})", 1'000);
  Sent();
  IdleAt(31'000, 2);
  EXPECT_TRUE(Sent().empty()) << "exactly 30 s is still within the limit";

  bool polled = true;
  IdleAt(31'001, 2);
  const auto sent = Sent(&polled);
  EXPECT_FALSE(polled);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].target, kDiagnosticPath);
  EXPECT_EQ(Body(sent[0]), Json({{"licenseKey", "K"},
                                 {"code", "LR_TIMEOUT"},
                                 {"status", "error"},
                                 {"message", kTimeoutMessage}}));
  EXPECT_EQ(sent[1].target, "/api/bridge/command/s1/complete");
  EXPECT_EQ(Body(sent[1]),
            Json({{"licenseKey", "K"}, {"status", "failed"}, {"error", kTimeoutMessage}}));
  const SchemaFields state = Snapshot();
  EXPECT_FALSE(state.schemaWaiting);
  EXPECT_EQ(state.schemaCommandId, "");
  EXPECT_EQ(state.schemaTargetFile, "");
  EXPECT_TRUE(fakeHost().scriptStarts.empty());
}

TEST_F(SchemaCommandTest, ScriptIsTriedInTheCurrentFileThenByNameThenUnderItsSecondName) {
  struct Case {
    std::vector<int16_t> answers;
    std::vector<ScriptStart> starts;
    const char* started;
  };
  const Case cases[] = {
      {{104, 104},
       {{"", "TideLoom Live Push"}, {"SALES", "TideLoom Live Push"}, {"", "Tide Loom Live Push"}},
       "Tide Loom Live Push"},
      // Any other first error is retried by file name only.
      {{3, 0}, {{"", "TideLoom Live Push"}, {"SALES", "TideLoom Live Push"}}, "TideLoom Live Push"},
  };
  fakeHost().currentFileName = "SALES";
  for (const Case& c : cases) {
    fakeHost().scriptStarts.clear();
    fakeHost().scriptStartAnswers = c.answers;
    Queue("s1", R"({"fileName":"Sales"})");
    Sent();
    IdleAt(1'000);
    EXPECT_EQ(fakeHost().scriptStarts, c.starts);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Body(sent[0])["message"], "Triggering \"TideLoom Live Push\" in \"Sales\"...");
    EXPECT_EQ(Body(sent[1])["message"], std::string("Script queued \xE2\x80\x94 waiting for "
                                                    "FileMaker to run \"") +
                                            c.started + "\"...");
    EXPECT_EQ(Snapshot().schemaCommandId, "s1");
  }
}

TEST_F(SchemaCommandTest, EachHostErrorFailsTheCommandWithItsOwnMessage) {
  const std::string notFound = "Could not find the Live Push script in \"Sales\". Name it exactly "
                               "\"TideLoom Live Push\" and try again.";
  struct Case {
    std::vector<int16_t> answers;
    std::size_t starts;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{104, 104, 104, 104}, 4, notFound},
      {{1825, 1825}, 2, notFound},
      {{825, 825},
       2,
       "FileMaker blocked TideLoom from starting \"TideLoom Live Push\" in \"Sales\" (FM error "
       "825). In Manage Security > Advanced Settings > Extended Privileges, enable fmplugin for "
       "this account's privilege set, or add fmpluginTdLm for the TideLoom plug-in."},
      {{100, 100},
       2,
       "Could not start \"TideLoom Live Push\" in \"Sales\" (FM error 100). Make sure the file "
       "is open."},
      {{-3, -1202},
       2,
       "Could not start \"TideLoom Live Push\" in \"Sales\" (FM error -1202). Make sure the file "
       "is open."},
      {{104, 104, 1, -32768},
       4,
       "Could not start \"TideLoom Live Push\" in \"Sales\" (FM error -32768). Make sure the "
       "file is open."},
  };
  fakeHost().currentFileName = "Sales";
  for (const Case& c : cases) {
    fakeHost().scriptStarts.clear();
    fakeHost().scriptStartAnswers = c.answers;
    Queue("s9", R"({"fileName":"Sales"})");
    Sent();
    IdleAt(1'000);
    EXPECT_EQ(fakeHost().scriptStarts.size(), c.starts) << c.message;
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 3u) << c.message;
    EXPECT_EQ(Body(sent[0])["code"], "LR_SCRIPT_TRIGGER");
    EXPECT_EQ(Body(sent[1]), Json({{"licenseKey", "K"},
                                   {"code", "LR_SCRIPT_ERROR"},
                                   {"status", "error"},
                                   {"message", c.message}}));
    EXPECT_EQ(sent[2].target, "/api/bridge/command/s9/complete");
    EXPECT_EQ(Body(sent[2]),
              Json({{"licenseKey", "K"}, {"status", "failed"}, {"error", c.message}}));
    const SchemaFields state = Snapshot();
    EXPECT_EQ(state.schemaCommandId, "");
    EXPECT_EQ(state.schemaTargetFile, "");
    EXPECT_FALSE(state.schemaWaiting);
  }
}

TEST_F(SchemaCommandTest, SecondCommandReplacesTheFirstWhichIsNeverAnswered) {
  Queue("s1", R"({"fileName":"Sales"})");
  Queue("s2", R"({"fileName":"Other"})", 20'000);
  IdleAt(21'000);
  IdleAt(60'000);
  std::vector<std::string> targets;
  for (const auto& request : Sent())
    targets.push_back(request.target);
  for (const std::string& target : targets) {
    EXPECT_EQ(target.find("/s1/"), std::string::npos) << target;
  }
  EXPECT_EQ(fakeHost().scriptStarts.size(), 1u);
  EXPECT_EQ(Snapshot().schemaCommandId, "s2");
}

TEST_F(SchemaCommandTest, WaitAnsweredByAnUploadAlreadyEndsQuietly) {
  Queue("s1", R"({"fileName":"Sales"})");
  Sent();
  // The user ran the script by hand in the target file before the plug-in started it.
  PrepareLivePushUpload("/tmp/none.xml", "Sales");
  bool polled = false;
  IdleAt(40'000);
  EXPECT_TRUE(Sent(&polled).empty()) << "no time-out is reported for an answered command";
  EXPECT_TRUE(polled) << "the idle call goes on with its other work";
  EXPECT_FALSE(Snapshot().schemaWaiting);
  EXPECT_TRUE(fakeHost().scriptStarts.empty());
}

TEST_F(SchemaCommandTest, GetSchemaFromThePollIsQueuedAtTheNextIdleCall) {
  server.Answer("/api/bridge/command/next", 200,
                R"({"command":{"id":"p1","type":"GET_SCHEMA","fileName":"Sales"}})");
  IdleAt(10'000);
  RunBackgroundTasks();
  server.Answer("/api/bridge/command/next", 200, R"({"command":null})");
  IdleAt(10'001);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Body(sent[0])["code"], "LR_SCHEMA_QUEUED");
  EXPECT_EQ(Snapshot().schemaCommandId, "p1");
}

} // namespace
