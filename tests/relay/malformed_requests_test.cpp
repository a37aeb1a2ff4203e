// Requests the relay cannot use or must refuse get a 4xx with a JSON reason, and are logged anyway.
#include <algorithm>

#include "relay_test_fixture.h"

using nlohmann::json;

TEST_F(RelayTest, BadBodiesGet400WithAReasonAndAreRecorded) {
  const struct {
    std::string path;
    std::string body;
    std::string reasonPart;
  } cases[] = {
      {"/api/bridge/push", "{not json", "not valid JSON"},
      {"/api/bridge/push", "[1,2]", "JSON object"},
      {"/api/bridge/push", R"({"xmlType":"X","xmlContent":""})", "licenseKey"},
      {"/api/bridge/push", R"({"licenseKey":"K","xmlType":7,"xmlContent":""})", "xmlType"},
      {"/api/bridge/register", R"({"email":"e","licenseKey":"K"})", "machineId"},
      {"/api/bridge/diagnostic", R"({"licenseKey":"K","status":"s"})", "code"},
      {"/api/bridge/command/1/complete", R"({"licenseKey":"K"})", "status"},
      {"/dev/commands", R"({"licenseKey":"K"})", "type"},
      {"/dev/commands", R"({"licenseKey":"K","type":"X","xmlContent":null})", "xmlContent"},
      {"/dev/hold", R"({"route":"nope","seconds":1})", "route"},
      {"/dev/hold", R"({"route":"/x","seconds":-1})", "seconds"},
      {"/dev/hold", R"({"route":"/x","seconds":601})", "seconds"},
      // Logged, this body once overflowed the stack of every later reader of the log.
      {"/api/bridge/push", std::string(100000, '[') + std::string(100000, ']'), "nested"},
      // JSON must be UTF-8; the raw byte is refused, not stored as a half-understood push.
      {"/api/bridge/push", "{\"licenseKey\":\"K\xFF\",\"xmlType\":\"X\",\"xmlContent\":\"\"}",
       "not valid JSON"},
  };
  for (const auto& c : cases) {
    const HttpAnswer answer = Post(c.path, c.body);
    EXPECT_EQ(answer.status, 400) << c.path << " " << c.body;
    EXPECT_NE(answer.json().at("error").get<std::string>().find(c.reasonPart), std::string::npos)
        << answer.body;
  }
  const json events = Events();
  ASSERT_EQ(events.size(), std::size(cases));
  for (const json& event : events)
    EXPECT_EQ(event.at("status"), 400);
  // The undecodable and the too deep body are shown as text.
  EXPECT_TRUE(events.back().at("bodyText").is_string());
  EXPECT_EQ(events[events.size() - 2].at("bodyText").get<std::string>().size(), 200000u);
  EXPECT_EQ(Get("/api/bridge/command/next").status, 400); // no licenseKey
}

TEST_F(RelayTest, WrongMethodsGet405AndUnknownPathsGet404) {
  const HttpAnswer wrongMethod = Get("/api/bridge/push");
  EXPECT_EQ(wrongMethod.status, 405);
  EXPECT_NE(wrongMethod.json().at("error").get<std::string>().find("use POST"), std::string::npos);
  const auto result = client->Post("/api/bridge/command/next", "{}", "application/json");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->get_header_value("Allow"), "GET");

  const HttpAnswer unknown = Get("/api/nothing/here");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_TRUE(unknown.json().contains("error"));
  EXPECT_EQ(Get("/dev/commands/42").status, 404);

  const json events = Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0].at("kind"), "unrouted");
}

TEST_F(RelayTest, ALargeUploadIsAcceptedWhole) {
  const std::string big(24 * 1024 * 1024, '\x5A');
  const HttpAnswer answer =
      Post("/api/live/ingest/K1?filename=big.xml", big, "application/octet-stream");
  ASSERT_EQ(answer.status, 200) << answer.body;
  EXPECT_EQ(std::filesystem::file_size(relay->store->dataDir / "ingested" / "big.xml"), big.size());
}

TEST_F(RelayTest, ThePageAndDevRoutesAnswerOnlyThisRelaysOwnPage) {
  const std::string port = std::to_string(relay->port);
  const std::string host = "request Host is not this relay's address";
  const std::string origin = "request Origin is not this relay's page";
  const std::string type = "Content-Type must be application/json";
  const struct {
    std::string method, path, host, origin, contentType;
    int status;
    std::string error;
  } cases[] = {
      {"GET", "/dev/events", "evil.example:" + port, "", "", 403, host}, // a DNS-rebinding page
      {"GET", "/dev/ingested", "127.0.0.1:1", "", "", 403, host},
      {"GET", "/", "LocalHost", "", "", 200, ""},
      {"GET", "/dev/commands", "[::1]:" + port, "http://[::1]:" + port, "", 200, ""},
      {"POST", "/dev/commands", "", "http://evil.example", "text/plain", 403, origin},
      {"POST", "/dev/commands", "", "null", "application/json", 403, origin},
      {"POST", "/dev/commands", "", "", "text/plain", 415, type},
      {"POST", "/dev/hold", "", "http://evil.example:" + port, "application/json", 403, origin},
      {"POST", "/dev/commands", "", "http://localhost:" + port, "application/json; charset=utf-8",
       200, ""},
      // The plug-in's own routes stay as they were.
      {"POST", "/api/bridge/push", "", "http://evil.example", "text/plain", 200, ""},
  };
  const std::string body =
      R"({"licenseKey":"K1","type":"SET_CLIPBOARD","xmlType":"XMSS","xmlContent":"<x/>"})";
  for (const auto& c : cases) {
    httplib::Headers headers;
    if (!c.host.empty()) headers.emplace("Host", c.host);
    if (!c.origin.empty()) headers.emplace("Origin", c.origin);
    const HttpAnswer answer = Send(c.method, c.path, headers, body, c.contentType);
    EXPECT_EQ(answer.status, c.status) << c.method << " " << c.path << " " << c.host << c.origin;
    if (!c.error.empty()) {
      EXPECT_EQ(answer.body, R"({"error":")" + c.error + "\"}");
    }
  }
  // Only the one request from the relay's own page queued a command.
  EXPECT_EQ(Get("/dev/commands").json().at("commands").size(), 1u);
}

// With a key list, every endpoint that carries a key turns away the others with 401.
TEST_F(RelayTest, UnknownKeysGet401OnEveryKeyedEndpointWhileListedOnesPass) {
  RelayServiceConfig config;
  config.acceptedKeys = std::set<std::string>{"GOOD"};
  StartRelay(config);
  const std::string id = Queue({{"licenseKey", "GOOD"}, {"type", "LIST_FILES"}});
  const std::vector<HttpAnswer> refused = {
      Post("/api/bridge/register",
           R"({"email":"e","licenseKey":"BAD","machineId":"m","pluginVersion":"1.6.18"})"),
      Poll("BAD"),
      Post("/api/bridge/push", R"({"licenseKey":"BAD","xmlType":"FILE_LIST","xmlContent":""})"),
      Complete(id, {{"licenseKey", "BAD"}, {"status", "completed"}}),
      Post("/api/bridge/diagnostic",
           R"({"licenseKey":"BAD","code":"LR_TIMEOUT","status":"error","message":"m"})"),
      Post("/api/live/ingest/BAD?filename=a.xml", "<a/>", "application/octet-stream"),
  };
  for (const HttpAnswer& answer : refused) {
    EXPECT_EQ(answer.status, 401) << answer.body;
    EXPECT_EQ(answer.json().at("error"), "unknown licenseKey");
  }
  // The refused poll took nothing from anyone, and nothing was registered or stored.
  EXPECT_EQ(Command(id).at("state"), "queued");
  EXPECT_TRUE(Get("/dev/registrations").json().at("registrations").empty());
  EXPECT_FALSE(std::filesystem::exists(relay->store->dataDir / "ingested" / "a.xml"));
  // Every refusal is in the log.
  const json events = Events();
  EXPECT_EQ(std::ranges::count_if(events, [](const json& e) { return e.at("status") == 401; }), 6);
  // A listed key, and the keyless version check, pass.
  EXPECT_EQ(Post("/api/bridge/register",
                 R"({"email":"e","licenseKey":"GOOD","machineId":"m","pluginVersion":"1.6.18"})")
                .status,
            200);
  EXPECT_EQ(Poll("GOOD").status, 200);
  EXPECT_EQ(Get("/api/plugin/version").status, 200);
}
