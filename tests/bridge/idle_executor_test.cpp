// What the bridge does at the host's idle calls: polls and what their replies hold, the commands
// they hand out, and the daily update check.
#include <gtest/gtest.h>

#include "bridge/bridge_session.h"
#include "bridge/bridge_state.h"
#include "bridge/command_poller.h"
#include "bridge/update_check.h"
#include "bridge_fixture.h"

namespace tideloom {

namespace {

using IdleExecutorTest = BridgeTest;

TEST_F(IdleExecutorTest, UnregisteredOrShuttingDownBridgeDoesNothingAtIdle) {
  IdleAt(1'000'000'000);
  StopBridge();
  Register();
  Idle();
  EXPECT_EQ(HeldBackgroundTasks(), 0u);
  EXPECT_EQ(fakeHost.fileNameLookups, 0);
}

TEST_F(IdleExecutorTest, PollsAreSpacedByThreeSecondsFromTheLastDecisionAndNeverDoubled) {
  Register("OLD");
  IdleAt(10'000);
  ASSERT_EQ(HeldBackgroundTasks(), 1u);
  IdleAt(13'000); // due, but the first poll still runs: no second one, and the spacing restarts
  IdleAt(15'000);
  EXPECT_EQ(HeldBackgroundTasks(), 1u);
  RunBackgroundTasks();
  IdleAt(15'999);
  EXPECT_EQ(HeldBackgroundTasks(), 0u);
  Register("NEW");
  IdleAt(16'000);
  EXPECT_EQ(RunBackgroundTasks(), 1u);
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].target.find("licenseKey=NEW&"), std::string::npos) << "a newer key";
}

TEST_F(IdleExecutorTest, CommandRunsExactlyOnceAndNeverBesideAPoll) {
  Register();
  Deliver(R"({"id":"c1","type":"LIST_FILES"})", 10'000);
  const std::size_t pollsBefore = Polls();
  IdleAt(20'000); // a poll would be due, but this call executes the command
  RunBackgroundTasks();
  EXPECT_EQ(Polls(), pollsBefore);
  Idle();
  RunBackgroundTasks();
  EXPECT_EQ(Polls(), pollsBefore + 1) << "the next idle call may poll";
  EXPECT_EQ(RequestsFor("/api/bridge/command/c1/complete"), 1u);
}

TEST_F(IdleExecutorTest, RegisteredFileNameIsLearnedOnceFromTheCurrentContext) {
  Register();
  fakeHost.currentFileName = "";
  Idle();
  EXPECT_EQ(fakeHost.fileNameLookups, 1);
  fakeHost.currentFileName = "Sales";
  Idle();
  Idle();
  EXPECT_EQ(fakeHost.fileNameLookups, 2);
  EXPECT_EQ(bridgeState().RegisteredFileName(), "Sales");
}

struct CommandCase {
  const char* command;
  FakeHost host;
  std::vector<std::string> bodies; // what reaches the service, in order
  std::vector<std::pair<std::string, std::string>> writes{};
};

TEST_F(IdleExecutorTest, EachCommandSendsItsResultAndOutcome) {
  const std::string completed = R"({"licenseKey":"K","status":"completed"})";
  const std::string noXml =
      R"({"licenseKey":"K","status":"failed","error":"No FileMaker XML found on clipboard. )"
      R"(Copy script steps, scripts, layout objects, fields, tables, custom functions, or value )"
      R"(lists in FileMaker first."})";
  const std::string queued = "{\"licenseKey\":\"K\",\"code\":\"LR_SCHEMA_QUEUED\",\"status\":"
                             "\"received\",\"message\":\"Queued \xE2\x80\x94 waiting for \\\"";
  const std::string toBeActive = "\\\" to be active in FileMaker...\"}";
  const auto failed = [](const std::string& error) {
    return R"({"licenseKey":"K","status":"failed","error":")" + error + R"("})";
  };
  const CommandCase cases[] = {
      {R"({"id":"f1","type":"LIST_FILES"})",
       {.openFiles = "Sales\nContacts"},
       {R"({"licenseKey":"K","xmlType":"FILE_LIST","xmlContent":"Sales\nContacts","label":"Open Files"})",
        completed}},
      {R"({"id":"d1","type":"DEBUG_CONTEXT","fileName":"Contacts"})",
       {},
       {R"({"licenseKey":"K","xmlType":"CONTEXT_DEBUG","xmlContent":"context of Contacts","label":"FileMaker Context Debug"})",
        completed}},
      // Asked for script steps, but only layout objects were copied: those are sent as such.
      {R"({"id":"g1","type":"GET_CLIPBOARD","xmlType":"XMSS"})",
       {.clipboardType = "XMLO", .clipboardXml = "<Layout/>"},
       {R"({"licenseKey":"K","xmlType":"XMLO","xmlContent":"<Layout/>"})", completed}},
      {R"({"id":"g3","type":"GET_CLIPBOARD","xmlType":"AUTO"})", {}, {noXml}},
      {R"({"id":"g4","type":"GET_CLIPBOARD","xmlType":"XMSS"})",
       {.clipboardReadError = "OpenClipboard failed"},
       {failed("OpenClipboard failed")}},
      {R"({"id":"l1","type":"GET_CLIPBOARD_FORMATS"})",
       {.formatsError = "OpenClipboard failed"},
       {R"({"licenseKey":"K","xmlType":"CLIPBOARD_FORMATS","xmlContent":"OpenClipboard failed","label":"Clipboard Formats"})",
        failed("OpenClipboard failed")}},
      {R"({"id":"s1","type":"SET_CLIPBOARD","xmlType":"XMSS","xmlContent":"<Step name=\"If\">\\</Step>"})",
       {},
       {completed},
       {{"XMSS", R"(<Step name="If">\</Step>)"}}},
      {R"({"id":"s2","type":"SET_CLIPBOARD","xmlType":"","xmlContent":"<a/>"})",
       {.setError = "SetClipboardData failed"},
       {failed("SetClipboardData failed")},
       {{"", "<a/>"}}},
      {R"({"id":"e1","type":"SET_CLIPBOARD","xmlType":"XMSS"})",
       {},
       {failed("ERROR: xmlContent is empty.")}},
      {R"({"id":"u1","type":"get_clipboard"})",
       {},
       {failed("Unknown command type: get_clipboard")}},
      // Last: they leave a wait behind. The registered file is learnt in the last one only.
      {R"({"id":"p0","type":"GET_SCHEMA","fileName":""})",
       {.openFiles = "Sales"},
       {failed("No FM file registered. Open your FM file and let TideLoom.Register() run first.")}},
      {R"({"id":"p1","type":"GET_SCHEMA","fileName":"Sales"})",
       {.openFiles = "Sales\nOther"},
       {R"({"licenseKey":"K","xmlType":"FILE_LIST","xmlContent":"Sales\nOther","label":"Open Files"})",
        queued + "Sales" + toBeActive}},
      {R"({"id":"p2","type":"GET_SCHEMA"})",
       {.currentFileName = "Registered"},
       {queued + "Registered" + toBeActive}},
  };
  Register("K");
  int64_t atMs = 100'000;
  for (const CommandCase& c : cases) {
    fakeHost = c.host;
    Deliver(c.command, atMs += 3000);
    Idle();
    std::vector<std::string> bodies;
    for (const RecordedRequest& request : Sent())
      bodies.push_back(request.body);
    EXPECT_EQ(bodies, c.bodies) << c.command;
    EXPECT_EQ(fakeHost.writes, c.writes) << c.command;
  }
}

TEST_F(IdleExecutorTest, DailyUpdateCheckStartsOnceADayBesideThePoll) {
  Register();
  Answer("/api/plugin/version", 200, R"({"version":"1.7.0"})");
  IdleAt(86'396'999);
  RunBackgroundTasks();

  IdleAt(86'400'000);
  EXPECT_EQ(HeldBackgroundTasks(), 2u) << "the update check and the poll";
  IdleAt(86'500'000); // the check still runs: no second one
  EXPECT_EQ(HeldBackgroundTasks(), 2u);
  RunBackgroundTasks();
  IdleAt(86'400'000 + 86'399'999);
  RunBackgroundTasks();
  IdleAt(2 * 86'400'000);
  RunBackgroundTasks();
  EXPECT_EQ(RequestsFor("/api/plugin/version"), 2u);
}

struct ReplyCase {
  const char* reply;
  const char* id; // empty: no command
  const char* type;
};

TEST(PollReplyTest, TellsCommandsFromNothingByTheTextAlone) {
  const ReplyCase cases[] = {
      // Either null form anywhere means no command, whatever else the reply holds.
      {R"({"command":{"id":"7","type":"X"},"previous":{"command":null}})", "", ""},
      {R"({"command": null,"queued":{"id":"7","type":"X"}})", "", ""},
      {R"({"command":{"type":"LIST_FILES"}})", "", ""},
      {R"({"command":{"id":"9"}})", "", ""},
      {R"({"id":"a\"b","type":"T"})", "a\"b", "T"},
      {"<html>502 Bad Gateway</html>", "", ""},
  };
  for (const ReplyCase& c : cases) {
    const PollReply parsed = ClassifyPollReply(c.reply);
    EXPECT_EQ(parsed.id, c.id) << c.reply;
    EXPECT_EQ(parsed.type, c.type) << c.reply;
  }
}

using PollOnceTest = BridgeTest;

TEST_F(PollOnceTest, AFaultyServiceOrAddressFailsThePollAndLeavesNoCommand) {
  const std::string command = R"({"command":{"id":"7","type":"LIST_FILES"}})";
  const struct {
    int status;
    std::string body;
    nlohmann::json faults;
  } services[] = {
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
}

class UpdateCheckTest : public BridgeTest {
protected:
  void CheckAgainst(const std::string& reply) {
    Answer("/api/plugin/version", 200, reply);
    Register();
    StartUpdateCheck();
    ASSERT_EQ(RunBackgroundTasks(), 1u) << "a check that ended lets the next one start";
  }
};

TEST_F(UpdateCheckTest, NoticeOnlyForANumericallyNewerVersionAndTheLastGoodOneIsKept) {
  EXPECT_EQ(UpdateNotice(), "") << "no check has completed yet";
  const char* notNewer[] = {"1.6.18", "1.6.9", "1.5.99", "0.9", "v2.0", "beta", "2", "1.x.9", ""};
  for (const char* version : notNewer) {
    bridgeState().StoreLatestVersion(version);
    EXPECT_EQ(UpdateNotice(), "") << version;
  }
  const char* newer[] = {"1.6.19", "2.0.0", "1.10.0", " 1.7", "+1.7.0-rc1", "1.6.99999999999"};
  for (const char* version : newer) {
    bridgeState().StoreLatestVersion(version);
    EXPECT_EQ(UpdateNotice(),
              std::string("TideLoom plugin v") + version +
                  " is available \xE2\x80\x94 download at tideloom.app/guide#plugin")
        << version;
  }
  CheckAgainst(R"({"version":"1.7.0"})");
  EXPECT_EQ(bridgeState().LatestVersion(), "1.7.0");
  for (const char* reply : {R"({"version": "2.0.0"})", R"({"version":"2.0.0)", "<html/>", ""}) {
    CheckAgainst(reply);
    EXPECT_EQ(bridgeState().LatestVersion(), "1.7.0") << reply;
  }
}

} // namespace

} // namespace tideloom
