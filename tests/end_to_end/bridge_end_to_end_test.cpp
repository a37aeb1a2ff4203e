// The whole bridge as a FileMaker developer meets it: the built plug-in inside fmhost, registered
// against tideloom-relay on loopback, carrying out commands queued at the relay. Each command
// type's results are checked byte for byte by the bridge's own tests; here, that each reaches the
// host and comes back.
#include <filesystem>
#include <string>
#include <vector>

#include "fmhost_process.h"
#include "relay_test_fixture.h"

namespace {

constexpr const char* kSnippet =
    "<fmxmlsnippet type=\"FMObjectList\"><Step enable=\"True\" id=\"89\" name=\"# (comment)\">"
    "<Text>caf\xC3\xA9 &amp; \"quotes\"</Text></Step></fmxmlsnippet>";

class BridgeEndToEndTest : public RelayTest {
protected:
  void SetUp() override {
    RelayTest::SetUp();
    settingsFile = SettingsFolderOf(setup, configHome.path) / "settings.json";
    std::filesystem::remove_all(settingsFile.parent_path());
  }
  void TearDown() override {
    std::filesystem::remove_all(settingsFile.parent_path());
    RelayTest::TearDown();
  }

  std::string RelayUrl() const { return "http://127.0.0.1:" + std::to_string(relay->port); }
  std::string RegisterCall() const {
    return "eval TideLoom.Register ( \"dev@example.com\" ; \"e2e-key\" ; \"machine-1\" ; \"" +
           RelayUrl() + "\" )";
  }
  FmhostRun Run(const std::vector<std::string>& scenario) {
    FmhostRun run = RunFmhost(setup, scenario, {{"XDG_CONFIG_HOME", configHome.path.string()}});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run;
  }
  std::string QueueCommand(nlohmann::json command) {
    command["licenseKey"] = "e2e-key";
    return Queue(command);
  }
  // The command's first result push, as the relay stored it.
  nlohmann::json FirstPush(const std::string& id) {
    const nlohmann::json command = Command(id);
    EXPECT_EQ(command["state"], "completed") << command.dump(2);
    return command["pushes"].empty() ? nlohmann::json::object() : command["pushes"][0]["body"];
  }

  FmhostSetup setup = FmhostFromEnvironment();
  TemporaryFolder configHome;
  std::filesystem::path settingsFile;
};

TEST_F(BridgeEndToEndTest,
       RegisteredHostCarriesOutEveryCommandTypeResumesAfterARestartAndShutsDownAtOnce) {
  RelayServiceConfig announcing;
  announcing.pluginVersion = "1.7.0";
  StartRelay(announcing);
  const std::string files = QueueCommand({{"type", "LIST_FILES"}});
  const std::string context = QueueCommand({{"type", "DEBUG_CONTEXT"}, {"fileName", "Contacts"}});
  const std::string set =
      QueueCommand({{"type", "SET_CLIPBOARD"}, {"xmlType", "XMSS"}, {"xmlContent", kSnippet}});
  const std::string formats = QueueCommand({{"type", "GET_CLIPBOARD_FORMATS"}});
  const std::string get = QueueCommand({{"type", "GET_CLIPBOARD"}, {"xmlType", "XMSS"}});

  const FmhostRun run = Run({RegisterCall(), "idle 23000", "eval TideLoom.UpdateAvailable"});
  EXPECT_EQ(run.ResultOf("TideLoom.Register"), "OK");
  EXPECT_EQ(
      run.ResultOf("TideLoom.UpdateAvailable"),
      "TideLoom plugin v1.7.0 is available \xE2\x80\x94 download at tideloom.app/guide#plugin");

  EXPECT_NE(FirstPush(files).value("xmlContent", "").find("Contacts\n"), std::string::npos);
  const auto report = nlohmann::json::parse(FirstPush(context).value("xmlContent", "{}"));
  EXPECT_EQ(report["baseUrl"], RelayUrl());
  EXPECT_EQ(report["targetFile"], "Contacts");
  EXPECT_EQ(Command(set)["state"], "completed");
  EXPECT_NE(FirstPush(formats).value("xmlContent", "").find("\tMac-XMSS\n"), std::string::npos);
  EXPECT_EQ(
      FirstPush(get),
      nlohmann::json({{"licenseKey", "e2e-key"}, {"xmlType", "XMSS"}, {"xmlContent", kSnippet}}));

  // Started again, the plug-in finds its key in the settings file and polls without registering.
  EXPECT_TRUE(std::filesystem::exists(settingsFile));
  const std::string again = QueueCommand({{"type", "LIST_FILES"}});
  Run({"idle 4000"});
  EXPECT_EQ(Command(again)["state"], "completed");

  // Shutdown waits at most about 2 s for background work; a held poll would take 120 s.
  RelayServiceConfig holding;
  holding.holds = {{"/api/bridge/command/next", 120}};
  StartRelay(holding);
  const FmhostRun held = Run({RegisterCall(), "idle 500", "shutdown"});
  EXPECT_EQ(held.ResultOf("TideLoom.Register"), "OK");
  EXPECT_LT(held.seconds, 60.0);
}

} // namespace
