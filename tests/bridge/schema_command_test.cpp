// A GET_SCHEMA command from its wait for the target file to the Live Push upload that answers it.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bridge/bridge_state.h"
#include "bridge/idle_executor.h"
#include "bridge/live_push_upload.h"
#include "bridge_fixture.h"
#include "temp_folder.h"

namespace tideloom {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using ScriptStart = std::pair<std::string, std::string>;

constexpr const char* kTimeoutMessage =
    "\"Sales\" was not the active FileMaker file within 30 seconds. Make sure the file is open "
    "and try again.";

// Bytes that a text-mode path would mangle: NUL, CR LF, 0xFF, and an XML prolog.
constexpr char kSchemaRaw[] =
    "<?xml version=\"1.0\"?>\r\n<FMSaveAsXML>\0\xff\xE2\x80\x94</FMSaveAsXML>\n";
const std::string kSchemaBytes(kSchemaRaw, sizeof kSchemaRaw - 1);

class SchemaCommandTest : public BridgeTest {
protected:
  void SetUp() override {
    BridgeTest::SetUp();
    Register("K");
    bridgeState().SetRegisteredFileName("Registered");
    fakeHost.currentFileName = "Other";
  }

  void Queue(const std::string& id, const std::string& body, int64_t atMs = 0) {
    SetClock(atMs);
    DispatchCommand({id, "GET_SCHEMA", body, BaseUrl(), "K"}, FakeHostCalls());
  }

  // The command a Live Push upload from `fileName` would complete; it is taken by the asking.
  static std::string CommandAnsweredFrom(const std::string& fileName) {
    return PrepareLivePushUpload("/x.xml", fileName).commandId;
  }

  // TideLoom.LivePush called from a script running in `currentFile`.
  static std::string Push(const std::string& path, const std::string& currentFile) {
    return LivePush(path, [currentFile] { return currentFile; });
  }

  TempFolder folder;
};

TEST_F(SchemaCommandTest, ScriptStartsWhenTheFileBecomesActiveInAnyAsciiCaseOnly) {
  Queue("s1", R"({"fileName":"sales"})");
  Sent();
  for (const char* current : {"Other", "Sales.fmp12", "Sales ", "S\xC3\xA1les"}) {
    fakeHost.currentFileName = current;
    IdleAt(10'000);
  }
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(Polls(), 1u) << "a wait that goes on leaves the idle call its other work";

  fakeHost.currentFileName = "SALES";
  IdleAt(20'000);
  const auto sent = Sent();
  EXPECT_EQ(Polls(), 1u) << "the call that starts the script does nothing else";
  EXPECT_EQ(fakeHost.scriptStarts, (std::vector<ScriptStart>{{"", "TideLoom Live Push"}}));
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].body, R"({"licenseKey":"K","code":"LR_SCRIPT_TRIGGER","status":"received",)"
                          R"("message":"Triggering \"TideLoom Live Push\" in \"sales\"..."})");
  EXPECT_EQ(sent[1].body, "{\"licenseKey\":\"K\",\"code\":\"LR_SCRIPT_TRIGGERED\",\"status\":"
                          "\"received\",\"message\":\"Script queued \xE2\x80\x94 waiting for "
                          "FileMaker to run \\\"TideLoom Live Push\\\"...\"}");
  IdleAt(90'000);
  EXPECT_TRUE(Sent().empty()) << "a started script has no time limit";
  EXPECT_EQ(CommandAnsweredFrom("Sales"), "s1") << "the script's upload completes the command";
}

TEST_F(SchemaCommandTest, BusyHostDelaysTheStartAndAWaitInVainEndsJustAfterThirtySeconds) {
  fakeHost.currentFileName = "Sales";
  Queue("s1", R"({"fileName":"Sales"})", 1'000);
  Sent();
  IdleAt(5'000, 2);
  IdleAt(31'000, 3);
  EXPECT_TRUE(Sent().empty()) << "exactly 30 s is still within the limit";
  IdleAt(45'000, 1);
  EXPECT_EQ(fakeHost.scriptStarts.size(), 1u) << "a quiet match ends the wait however late";

  fakeHost.scriptStarts.clear();
  Queue("s2", R"({"fileName":"Sales"})", 100'000);
  Sent();
  const std::size_t polls = Polls();
  IdleAt(130'001, 2);
  const auto sent = Sent();
  EXPECT_EQ(Polls(), polls) << "the call that gives up does nothing else";
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].target, "/api/bridge/diagnostic");
  EXPECT_EQ(Json::parse(sent[0].body), Json({{"licenseKey", "K"},
                                             {"code", "LR_TIMEOUT"},
                                             {"status", "error"},
                                             {"message", kTimeoutMessage}}));
  EXPECT_EQ(sent[1].target, "/api/bridge/command/s2/complete");
  EXPECT_EQ(Json::parse(sent[1].body),
            Json({{"licenseKey", "K"}, {"status", "failed"}, {"error", kTimeoutMessage}}));
  EXPECT_EQ(CommandAnsweredFrom("Sales"), "");
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
      {{104, 104, 1, -32768}, {current, byName, current2, byName2}, true, couldNotStart("-32768")},
  };
  fakeHost.currentFileName = "SALES";
  for (const Case& c : cases) {
    fakeHost.scriptStarts.clear();
    fakeHost.scriptStartAnswers = c.answers;
    Queue("s9", R"({"fileName":"Sales"})");
    Sent();
    IdleAt(1'000);
    EXPECT_EQ(fakeHost.scriptStarts, c.starts) << c.message;
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), c.failed ? 3u : 2u) << c.message;
    EXPECT_EQ(CommandAnsweredFrom("Sales"), c.failed ? "" : "s9") << c.message;
    if (!c.failed) {
      EXPECT_EQ(Json::parse(sent[1].body)["message"], c.message);
      continue;
    }
    EXPECT_EQ(Json::parse(sent[1].body), Json({{"licenseKey", "K"},
                                               {"code", "LR_SCRIPT_ERROR"},
                                               {"status", "error"},
                                               {"message", c.message}}));
    EXPECT_EQ(sent[2].target, "/api/bridge/command/s9/complete");
    EXPECT_EQ(Json::parse(sent[2].body),
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
  EXPECT_EQ(fakeHost.scriptStarts.size(), 1u);
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
}

using LivePushTest = SchemaCommandTest;

TEST_F(LivePushTest, MatchedUploadSendsTheBytesDeletesTheCopyAndCompletesTheCommand) {
  bridgeState().QueueSchemaWait("s1", "sales", 0);
  const std::string path =
      folder.Write("Sch\xC3\xA9ma \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\x84.xml", kSchemaBytes);
  EXPECT_EQ(Push(path, "Sales.fmp12"), "OK");
  EXPECT_EQ(bridgeState().ReadSchemaWait().targetFile, "")
      << "the command is taken before the upload runs";
  EXPECT_TRUE(Requests().empty()) << "the host's thread must not wait for the network";

  const auto requests = Sent();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/api/live/ingest/K?filename=sales.fmp12.xml");
  EXPECT_EQ(requests[0].body, kSchemaBytes);
  EXPECT_EQ(requests[1].target, "/api/bridge/command/s1/complete");
  EXPECT_EQ(requests[1].body, R"({"licenseKey":"K","status":"completed"})");
  EXPECT_TRUE(fs::is_empty(folder.root)) << "the copy is deleted";

  bridgeState().QueueSchemaWait("s1", "Sales", 0);
  EXPECT_EQ(Push(folder.Write("other.xml", kSchemaBytes), "Other"), "OK");
  const auto unmatched = Sent();
  EXPECT_EQ(unmatched.size(), 1u) << "an upload that answers nothing completes nothing";
}

TEST_F(LivePushTest, UploadIsNamedAfterTheMatchedTargetElseTheCurrentOrRegisteredFile) {
  struct Case {
    const char* target; // empty: no command waits
    const char* current;
    const char* registered;
    bool matches;
    const char* uploadName;
  };
  const Case cases[] = {
      {"SALES", "sales", "", true, "SALES.fmp12.xml"},
      {"Sales.fmp12", "Sales", "", true, "Sales.fmp12.fmp12.xml"},
      {"Sales", "sales.fmp12", "", true, "Sales.fmp12.xml"},
      {"Sales.FMP12", "Sales", "", false, "Sales.fmp12.xml"},
      {"Sales", "Sales ", "", false, "Sales%20.fmp12.xml"},
      {"a.fmp12.fmp12", "A.FMP12", "", true, "a.fmp12.fmp12.fmp12.xml"},
      {".fmp12", "", "", false, "schema.fmp12.xml"},
      {"Sales", "Inv-2024_a.b~c (\xC3\xBC)", "", false, "Inv-2024_a.b~c%20%28%C3%BC%29.fmp12.xml"},
      {"Sales", "", "Reg File", false, "Reg%20File.fmp12.xml"},
      {"", "Current", "Reg File", false, "Reg%20File.fmp12.xml"},
  };
  Register("a b/c?\xC3\xA9");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.target) + " / " + c.current);
    bridgeState().ForgetSchemaCommand();
    if (*c.target != '\0') bridgeState().QueueSchemaWait("s1", c.target, 0);
    bridgeState().SetRegisteredFileName(c.registered);
    const LivePushUpload upload = PrepareLivePushUpload("/x.xml", c.current);
    EXPECT_EQ(upload.commandId, c.matches ? "s1" : "");
    EXPECT_EQ(bridgeState().ReadSchemaWait().targetFile, c.matches ? "" : c.target);
    EXPECT_EQ(upload.uploadUrl,
              BaseUrl() + "/api/live/ingest/a%20b%2Fc%3F%C3%A9?filename=" + c.uploadName);
    EXPECT_EQ(upload.licenseKey, "a b/c?\xC3\xA9") << "the completion carries the key as it is";
  }
}

// An empty path is refused before the command is taken. Otherwise the outcome goes to the service
// only: the reader's or the HTTP layer's message. The copy is deleted all the same, but a folder
// given as the copy is never removed.
TEST_F(LivePushTest, FailedUploadFailsTheMatchedCommandAndStillDeletesOnlyTheCopy) {
  bridgeState().QueueSchemaWait("s1", "Sales", 0);
  EXPECT_EQ(Push("", "Sales"), "ERROR: posixPath is empty.");
  const std::string missing = folder.Utf8(folder.root / "missing.xml");
  EXPECT_EQ(Push(missing, "Sales"), "OK");
  const auto requests = Sent();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/api/bridge/command/s1/complete");
  EXPECT_EQ(Json::parse(requests[0].body),
            Json({{"licenseKey", "K"},
                  {"status", "failed"},
                  {"error", "Upload failed: Cannot open file: " + missing}}));
  bridgeState().QueueSchemaWait("s1", "Sales", 0);
  EXPECT_EQ(Push(folder.Utf8(folder.root), "Sales"), "OK");
  Sent();
  EXPECT_TRUE(fs::is_directory(folder.root));

  const std::string path = folder.Write("Sales.xml", kSchemaBytes);
  UploadLivePushFile({UnreachableBaseUrl() + "/api/live/ingest/K?filename=Sales.fmp12.xml", path,
                      "Sales", "s1", BaseUrl(), "K"});
  EXPECT_TRUE(fs::is_empty(folder.root));
  const auto completion = Json::parse(Requests().back().body);
  EXPECT_EQ(completion["status"], "failed");
  const std::string error = completion["error"];
  EXPECT_TRUE(error.starts_with("Upload failed: ") && error.size() > 15) << error;
}

} // namespace

} // namespace tideloom
