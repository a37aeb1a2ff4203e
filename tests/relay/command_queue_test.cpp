// The bridge's side of a command: queued by a developer, handed out once, completed once, and
// kept across a restart.
#include <set>
#include <thread>
#include <vector>

#include <sqlite3.h>

#include "relay_test_fixture.h"

using nlohmann::json;

TEST_F(RelayTest, CommandsAreHandedOutOnceWithTheirPayloadMembersByteForByte) {
  const std::string xml = "<fmxmlsnippet type=\"FMObjectList\">\n\t\xC3\xA9 \\ </fmxmlsnippet>";
  const std::string id = Queue({{"licenseKey", "K1"},
                                {"type", "SET_CLIPBOARD"},
                                {"xmlType", "XMSS"},
                                {"xmlContent", xml},
                                {"fileName", ""}});
  EXPECT_EQ(Poll("K1").json().at("command"), json({{"id", id},
                                                   {"type", "SET_CLIPBOARD"},
                                                   {"xmlType", "XMSS"},
                                                   {"xmlContent", xml},
                                                   {"fileName", ""}}));

  // Handed out once, as compact text with the id as a string, and with no absent member.
  const std::string bare = Queue({{"licenseKey", "K1"}, {"type", "GET_CLIPBOARD"}});
  EXPECT_EQ(Poll("K1").body, R"({"command":{"id":")" + bare + R"(","type":"GET_CLIPBOARD"}})");
  // Each key has a queue of its own (served oldest first, as the completion table shows).
  Queue({{"licenseKey", "K2"}, {"type", "LIST_FILES"}});
  EXPECT_EQ(Poll("K1").body, R"({"command":null})");
  EXPECT_EQ(Get("/dev/commands?licenseKey=K2").json().at("commands").size(), 1u);
}

// A command is finished once, by its own key: a second completion is refused (and still
// recorded), and so is one for a command never handed out, unknown or of another key.
TEST_F(RelayTest, OnlyAnInFlightCommandCanBeCompletedRequeuedOrFailedAndOnlyOnce) {
  const std::string done = Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  const std::string broken = Queue({{"licenseKey", "K1"}, {"type", "NO_SUCH_TYPE"}});
  const std::string lost = Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  const std::string dead = Queue({{"licenseKey", "K1"}, {"type", "GET_SCHEMA"}});
  const std::string waiting = Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  for (int i = 0; i < 4; ++i)
    Poll("K1");
  const std::string completed = R"({"licenseKey":"K1","status":"completed"})";
  const std::string unknownType = "Unknown command type: NO_SUCH_TYPE";
  const auto complete = [](const std::string& id) {
    return "/api/bridge/command/" + id + "/complete";
  };
  const auto page = [](const std::string& id, const char* action) {
    return "/dev/commands/" + id + "/" + action;
  };
  const struct {
    std::string path, body;
    int status;
    std::string reply;
  } cases[] = {
      {complete(done), completed, 200, R"({"id":")" + done + R"(","state":"completed"})"},
      {complete(broken), R"({"licenseKey":"K1","status":"failed","error":")" + unknownType + "\"}",
       200, R"({"id":")" + broken + R"(","state":"failed"})"},
      {complete(done), R"({"licenseKey":"K1","status":"failed"})", 409,
       R"({"error":"command is already finished: completed"})"},
      {complete(waiting), completed, 409, R"({"error":"command was never handed out"})"},
      {complete(lost), R"({"licenseKey":"K2","status":"completed"})", 403,
       R"({"error":"command belongs to another licenseKey"})"},
      {complete("999"), completed, 404, R"({"error":"no command with id 999"})"},
      {complete("abc"), completed, 404, R"({"error":"no command with id abc"})"},
      {complete(lost), R"({"licenseKey":"K1","status":"done"})", 400,
       R"({"error":"member status must be \"completed\" or \"failed\""})"},
      // For a command whose plug-in went away: back to its queue, or failed.
      {page(lost, "requeue"), "{}", 200, R"({"id":")" + lost + R"(","state":"queued"})"},
      {page(lost, "fail"), "{}", 409, R"({"error":"command is not in flight: queued"})"},
      {page(dead, "fail"), "{}", 200, R"({"id":")" + dead + R"(","state":"failed"})"},
      {page(dead, "requeue"), "{}", 409, R"({"error":"command is not in flight: failed"})"},
      {complete(dead), completed, 409, R"({"error":"command is already finished: failed"})"},
      {page("999", "fail"), "{}", 404, R"({"error":"no command with id 999"})"},
  };
  for (const auto& c : cases) {
    const HttpAnswer answer = Post(c.path, c.body);
    EXPECT_EQ(answer.status, c.status) << c.path;
    EXPECT_EQ(answer.body, c.reply) << c.path;
  }
  EXPECT_EQ(Poll("K1").json().at("command").at("id"), lost);
  const json view = Command(done);
  EXPECT_FALSE(view.at("completion").contains("error"));
  ASSERT_EQ(view.at("completions").size(), 2u);
  EXPECT_EQ(view.at("completions")[1].at("status"), 409);
}

TEST_F(RelayTest, PushesAndDiagnosticsAreTiedToTheCommandTheyAnswer) {
  const std::string schema =
      Queue({{"licenseKey", "K1"}, {"type", "GET_SCHEMA"}, {"fileName", "Demo"}});
  const std::string formats = Queue({{"licenseKey", "K1"}, {"type", "GET_CLIPBOARD_FORMATS"}});
  Poll("K1");
  Poll("K1");
  // The formats command was handed out last, yet the file list and the status record belong to
  // the schema command.
  Post("/api/bridge/push",
       R"({"licenseKey":"K1","xmlType":"FILE_LIST","xmlContent":"Demo","label":"Open Files"})");
  Post("/api/bridge/diagnostic",
       R"({"licenseKey":"K1","code":"LR_SCHEMA_QUEUED","status":"received","message":"Queued"})");
  Post("/api/bridge/push",
       R"({"licenseKey":"K1","xmlType":"CLIPBOARD_FORMATS","xmlContent":"","label":"x"})");
  // Nothing in flight for this key: kept, but tied to nothing.
  const HttpAnswer stray =
      Post("/api/bridge/push", R"({"licenseKey":"K9","xmlType":"XMSS","xmlContent":"<a/>"})");
  EXPECT_TRUE(stray.json().at("commandId").is_null());

  const json schemaView = Command(schema);
  ASSERT_EQ(schemaView.at("pushes").size(), 1u);
  EXPECT_EQ(schemaView.at("pushes")[0].at("body").at("xmlType"), "FILE_LIST");
  ASSERT_EQ(schemaView.at("diagnostics").size(), 1u);
  EXPECT_EQ(schemaView.at("diagnostics")[0].at("body").at("code"), "LR_SCHEMA_QUEUED");
  EXPECT_EQ(Command(formats).at("pushes").size(), 1u);
}

TEST_F(RelayTest, ConcurrentPollsNeverHandOutACommandTwice) {
  std::set<std::string> queued;
  for (int i = 0; i < 40; ++i)
    queued.insert(Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}}));

  std::mutex mutex;
  std::vector<std::string> handedOut;
  std::vector<std::thread> pollers;
  for (int t = 0; t < 6; ++t) {
    pollers.emplace_back([&] {
      httplib::Client own("127.0.0.1", relay->port);
      for (int i = 0; i < 10; ++i) {
        const auto result = own.Get("/api/bridge/command/next?licenseKey=K1&version=1.6.18");
        if (!result) continue;
        const json command = json::parse(result->body).at("command");
        std::lock_guard lock(mutex);
        if (!command.is_null()) handedOut.push_back(command.at("id"));
      }
    });
  }
  for (std::thread& poller : pollers)
    poller.join();
  EXPECT_EQ(handedOut.size(), queued.size());
  EXPECT_EQ(std::set<std::string>(handedOut.begin(), handedOut.end()), queued);
}

// A restarted relay picks up where it stopped: queues, in-flight commands and the event log.
TEST_F(RelayTest, RestartKeepsQueuedAndInFlightCommandsAndTheLog) {
  const std::string inFlight = Queue({{"licenseKey", "K1"}, {"type", "GET_SCHEMA"}});
  const std::string waiting = Queue({{"licenseKey", "K1"},
                                     {"type", "SET_CLIPBOARD"},
                                     {"xmlType", "XMSC"},
                                     {"xmlContent", "<x/>"}});
  Poll("K1");
  const long long lastSeq = Events().back().at("seq");

  StartRelay(); // closes the store and opens the same folder again

  EXPECT_EQ(Command(inFlight).at("state"), "in_flight");
  const json next = Poll("K1").json().at("command");
  EXPECT_EQ(next.at("id"), waiting);
  EXPECT_EQ(next.at("xmlContent"), "<x/>");
  EXPECT_EQ(Complete(inFlight, {{"licenseKey", "K1"}, {"status", "completed"}}).status, 200);

  // New ids and sequence numbers continue after the old ones.
  const std::string later = Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  EXPECT_GT(std::stoll(later), std::stoll(waiting));
  EXPECT_EQ(Events().front().at("seq"), 1);
  EXPECT_EQ(Get("/dev/events?since=" + std::to_string(lastSeq) + "&limit=1").json().at("last"),
            lastSeq + 1);
  EXPECT_EQ(Get("/dev/events?since=-1").status, 400);
}

// Earlier relays kept a command's XML in its row; their files must still hand it out.
TEST_F(RelayTest, ContentsKeptInTheCommandRowOfAnEarlierRelayAreHandedOut) {
  const std::string id = Queue({{"licenseKey", "K1"}, {"type", "SET_CLIPBOARD"}});
  StopRelay();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((data.path / "relay-data" / "relay.db").string().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(
      sqlite3_exec(db, "UPDATE commands SET xml_content = '<old/>'", nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  StartRelay();
  EXPECT_EQ(Poll("K1").json().at("command").at("xmlContent"), "<old/>");
  EXPECT_EQ(Command(id).at("xmlContent"), "<old/>");
}
