// With a key list, every endpoint that carries a key turns away the others with 401.
#include <fstream>

#include "relay/relay_options.h"
#include "relay_test_fixture.h"

using nlohmann::json;

class AcceptedKeysTest : public RelayTest {
protected:
  void SetUp() override {
    RelayServiceConfig config;
    config.acceptedKeys = std::set<std::string>{"GOOD"};
    StartRelay(config);
  }
};

TEST_F(AcceptedKeysTest, UnknownKeysGet401OnEveryKeyedEndpointWhileListedOnesPass) {
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
  int recorded = 0;
  for (const json& event : Events())
    recorded += event.at("status") == 401 ? 1 : 0;
  EXPECT_EQ(recorded, 6);
  // A listed key, and the keyless version check, pass.
  EXPECT_EQ(Post("/api/bridge/register",
                 R"({"email":"e","licenseKey":"GOOD","machineId":"m","pluginVersion":"1.6.18"})")
                .status,
            200);
  EXPECT_EQ(Poll("GOOD").status, 200);
  EXPECT_EQ(Get("/api/plugin/version").status, 200);
}

TEST(AcceptedKeysFile, OneKeyPerLineIgnoringBlanksAndEmptyLines) {
  TemporaryFolder folder;
  const auto file = folder.path / "keys.txt";
  std::ofstream(file, std::ios::binary) << "alpha\r\n\n  beta \n\t\ngamma";
  const auto keys = LoadAcceptedKeys(file);
  ASSERT_TRUE(keys);
  EXPECT_EQ(*keys, (std::set<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_FALSE(LoadAcceptedKeys(folder.path / "missing.txt"));
}
