#include "bridge/idle_executor.h"

#include <gtest/gtest.h>

#include <mutex>

#include "bridge/bridge_state.h"
#include "bridge_fixture.h"

namespace {

constexpr const char* kNextPath = "/api/bridge/command/next";

class IdleExecutorTest : public BridgeTest {
protected:
  void SetUp() override {
    BridgeTest::SetUp();
    server.Answer(kNextPath, 200, R"({"command":null})");
    fakeHost().currentFileName = "Sales.fmp12";
  }

  std::size_t Polls() const {
    std::size_t count = 0;
    for (const auto& request : server.Requests()) {
      if (request.target.rfind(kNextPath, 0) == 0) ++count;
    }
    return count;
  }

  // The service hands out `command` at the next poll, and the poll runs.
  void Deliver(const std::string& command) {
    server.Answer(kNextPath, 200, R"({"command":)" + command + "}");
    SetClock(clock_ += 3000);
    Idle();
    RunBackgroundTasks();
    server.Answer(kNextPath, 200, R"({"command":null})");
  }

  // Delivers, executes at the next idle call, sends; returns what reached the service for it.
  std::vector<ReceivedRequest> Execute(const std::string& command) {
    Deliver(command);
    const std::size_t before = server.Requests().size();
    Idle();
    RunBackgroundTasks();
    const auto all = server.Requests();
    return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
  }

  int64_t clock_ = 100'000;
};

TEST_F(IdleExecutorTest, UnregisteredOrShuttingDownBridgeDoesNothingAtIdle) {
  SetClock(1'000'000'000);
  Idle();
  Register();
  bridgeState().shuttingDown.store(true);
  Idle();
  EXPECT_EQ(HeldBackgroundTasks(), 0u);
  EXPECT_EQ(fakeHost().fileNameLookups, 0);
}

TEST_F(IdleExecutorTest, PollsAreSpacedByThreeSecondsFromTheLastDecisionAndNeverDoubled) {
  Register();
  SetClock(10'000);
  Idle();
  ASSERT_EQ(HeldBackgroundTasks(), 1u);
  SetClock(13'000);
  Idle(); // due, but the first poll still runs: no second one, and the spacing restarts here
  SetClock(15'000);
  Idle();
  EXPECT_EQ(HeldBackgroundTasks(), 1u);
  RunBackgroundTasks();
  SetClock(15'999);
  Idle();
  EXPECT_EQ(HeldBackgroundTasks(), 0u);
  SetClock(16'000);
  Idle();
  EXPECT_EQ(RunBackgroundTasks(), 1u);
  EXPECT_EQ(Polls(), 2u);
}

TEST_F(IdleExecutorTest, CommandRunsExactlyOnceAndNeverBesideAPoll) {
  Register();
  Deliver(R"({"id":"c1","type":"LIST_FILES"})");
  fakeHost().openFiles = "Sales\nContacts";
  const std::size_t pollsBefore = Polls();

  SetClock(clock_ += 10'000); // a poll would be due, but this call executes the command
  Idle();
  RunBackgroundTasks();
  EXPECT_EQ(Polls(), pollsBefore);
  Idle();
  RunBackgroundTasks();
  EXPECT_EQ(Polls(), pollsBefore + 1) << "the next idle call may poll";

  std::size_t completions = 0;
  for (const auto& request : server.Requests()) {
    if (request.target == "/api/bridge/command/c1/complete") ++completions;
  }
  EXPECT_EQ(completions, 1u);
}

TEST_F(IdleExecutorTest, RegisteredFileNameIsLearnedOnceFromTheCurrentContext) {
  Register();
  fakeHost().currentFileName = "";
  Idle();
  EXPECT_EQ(fakeHost().fileNameLookups, 1);
  fakeHost().currentFileName = "Sales";
  Idle();
  Idle();
  EXPECT_EQ(fakeHost().fileNameLookups, 2);
  const std::lock_guard<std::mutex> lock(stateMutex());
  EXPECT_EQ(bridgeState().registeredFileName, "Sales");
}

struct CommandCase {
  const char* command;
  FakeHost host;
  std::vector<std::string> bodies; // what reaches the service, in order
};

TEST_F(IdleExecutorTest, EachCommandSendsItsResultAndOutcome) {
  const std::string completed = R"({"licenseKey":"K","status":"completed"})";
  const std::string noXml =
      R"({"licenseKey":"K","status":"failed","error":"No FileMaker XML found on clipboard. )"
      R"(Copy script steps, scripts, layout objects, fields, tables, custom functions, or value )"
      R"(lists in FileMaker first."})";
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
      // Asked for script steps, but only layout objects were copied: those are sent, as what
      // they are.
      {R"({"id":"g1","type":"GET_CLIPBOARD","xmlType":"XMSS"})",
       {.clipboard = {{"XMLO", "<Layout/>"}}},
       {R"({"licenseKey":"K","xmlType":"XMLO","xmlContent":"<Layout/>"})", completed}},
      {R"({"id":"g2","type":"GET_CLIPBOARD"})",
       {.clipboard = {{"XMLO", "<Layout/>"}}},
       {R"({"licenseKey":"K","xmlType":"XMLO","xmlContent":"<Layout/>"})", completed}},
      {R"({"id":"g3","type":"GET_CLIPBOARD","xmlType":"AUTO"})", {}, {noXml}},
      {R"({"id":"g4","type":"GET_CLIPBOARD","xmlType":"XMSS"})",
       {.clipboardReadError = "OpenClipboard failed"},
       {failed("OpenClipboard failed")}},
      {R"({"id":"l1","type":"GET_CLIPBOARD_FORMATS"})",
       {.formatsError = "OpenClipboard failed"},
       {R"({"licenseKey":"K","xmlType":"CLIPBOARD_FORMATS","xmlContent":"OpenClipboard failed","label":"Clipboard Formats"})",
        failed("OpenClipboard failed")}},
      {R"({"id":"e1","type":"SET_CLIPBOARD","xmlType":"XMSS"})",
       {},
       {failed("ERROR: xmlContent is empty.")}},
      {R"({"id":"e2","type":"SET_CLIPBOARD","xmlContent":""})",
       {},
       {failed("ERROR: xmlContent is empty.")}},
      {R"({"id":"u1","type":"get_clipboard"})",
       {},
       {failed("Unknown command type: get_clipboard")}},
      {R"({"id":"u2","type":"get_schema"})", {}, {failed("Unknown command type: get_schema")}},
  };
  Register("K");
  for (const CommandCase& c : cases) {
    fakeHost() = c.host;
    std::vector<std::string> bodies;
    for (const auto& request : Execute(c.command))
      bodies.push_back(request.body);
    EXPECT_EQ(bodies, c.bodies) << c.command;
    EXPECT_EQ(fakeHost().clipboardWrites, 0) << c.command;
  }
}

TEST_F(IdleExecutorTest, ClipboardWriteTakesTheUnescapedXmlAndReportsItsOutcome) {
  Register("K");
  auto sent = Execute(
      R"({"id":"s1","type":"SET_CLIPBOARD","xmlType":"XMSS","xmlContent":"<Step name=\"If\">\\</Step>"})");
  EXPECT_EQ(fakeHost().writtenType, "XMSS");
  EXPECT_EQ(fakeHost().writtenXml, R"(<Step name="If">\</Step>)");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].body, R"({"licenseKey":"K","status":"completed"})");

  fakeHost().setError = "SetClipboardData failed";
  sent = Execute(R"({"id":"s2","type":"SET_CLIPBOARD","xmlType":"","xmlContent":"<a/>"})");
  EXPECT_EQ(fakeHost().writtenType, "");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].body,
            R"({"licenseKey":"K","status":"failed","error":"SetClipboardData failed"})");
}

TEST_F(IdleExecutorTest, NewerKeyAndServiceAreUsedFromTheNextPollOn) {
  Register("OLD");
  SetClock(10'000);
  Idle();
  RunBackgroundTasks();
  ChangeState([](BridgeState& state) { state.licenseKey = "NEW"; });
  SetClock(13'000);
  Idle();
  RunBackgroundTasks();
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].target.find("licenseKey=OLD&"), std::string::npos);
  EXPECT_NE(requests[1].target.find("licenseKey=NEW&"), std::string::npos);
}

TEST_F(IdleExecutorTest, DailyUpdateCheckStartsOnceADayBesideThePoll) {
  Register();
  server.Answer("/api/plugin/version", 200, R"({"version":"1.7.0"})");
  SetClock(86'396'999);
  Idle();
  RunBackgroundTasks();
  EXPECT_EQ(server.Requests().size(), 1u) << "a poll only: not a day yet";

  SetClock(86'400'000);
  Idle();
  EXPECT_EQ(HeldBackgroundTasks(), 2u) << "the update check and the poll";
  SetClock(86'500'000);
  Idle(); // the check still runs: no second one
  EXPECT_EQ(HeldBackgroundTasks(), 2u);
  RunBackgroundTasks();
  EXPECT_FALSE(bridgeState().updateCheckRunning.load());

  SetClock(86'400'000 + 86'399'999);
  Idle();
  RunBackgroundTasks();
  SetClock(2 * 86'400'000);
  Idle();
  RunBackgroundTasks();
  std::size_t checks = 0;
  for (const auto& request : server.Requests()) {
    if (request.target == "/api/plugin/version") ++checks;
  }
  EXPECT_EQ(checks, 2u);
}

} // namespace
