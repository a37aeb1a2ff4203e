// The whole bridge as a FileMaker developer meets it: the built plug-in inside fmhost, registered
// against tideloom-relay on loopback, carrying out commands queued at the relay.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fmhost_process.h"
#include "relay_test_fixture.h"

namespace {

constexpr const char* kKey = "e2e-key-1";
constexpr const char* kSnippet =
    "<fmxmlsnippet type=\"FMObjectList\"><Step enable=\"True\" id=\"89\" name=\"# (comment)\">"
    "<Text>caf\xC3\xA9 &amp; \"quotes\"</Text></Step></fmxmlsnippet>";

class BridgeEndToEndTest : public RelayTest {
protected:
  void SetUp() override {
    RelayTest::SetUp();
    setup = FmhostFromEnvironment();
    settingsFolder = SettingsFolderOf(setup, configHome.path);
    std::filesystem::remove_all(settingsFolder);
    if (setup.underWine()) std::printf("fmhost under Wine: %s\n", setup.fmhost.c_str());
  }
  void TearDown() override {
    std::filesystem::remove_all(settingsFolder);
    RelayTest::TearDown();
  }

  std::string RelayUrl() const { return "http://127.0.0.1:" + std::to_string(relay->port); }
  std::string RegisterCall(const std::string& key) const {
    return "eval TideLoom.Register ( \"dev@example.com\" ; \"" + key + "\" ; \"machine-1\" ; \"" +
           RelayUrl() + "\" )";
  }
  FmhostRun Run(const std::vector<std::string>& scenario) {
    FmhostRun run = RunFmhost(setup, scenario, {{"XDG_CONFIG_HOME", configHome.path.string()}});
    std::printf("fmhost ran %.1f s, exit %d\n", run.seconds, run.exitCode);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run;
  }
  std::string QueueFor(const std::string& key, nlohmann::json command) {
    command["licenseKey"] = key;
    return Queue(command);
  }
  // The parsed body of the command's first result push.
  nlohmann::json FirstPush(const nlohmann::json& command) {
    if (command["pushes"].empty()) return nlohmann::json::object();
    return command["pushes"][0]["body"];
  }

  FmhostSetup setup;
  TemporaryFolder configHome;
  std::filesystem::path settingsFolder;
};

TEST_F(BridgeEndToEndTest, RegisteredHostCarriesOutEveryCommandTypeAndHearsOfAnUpdate) {
  RelayServiceConfig announcing;
  announcing.pluginVersion = "1.7.0";
  StartRelay(announcing);
  const std::string listFiles = QueueFor(kKey, {{"type", "LIST_FILES"}});
  const std::string context = QueueFor(kKey, {{"type", "DEBUG_CONTEXT"}, {"fileName", "Contacts"}});
  const std::string setClipboard =
      QueueFor(kKey, {{"type", "SET_CLIPBOARD"}, {"xmlType", "XMSS"}, {"xmlContent", kSnippet}});
  const std::string formats = QueueFor(kKey, {{"type", "GET_CLIPBOARD_FORMATS"}});
  const std::string getClipboard = QueueFor(kKey, {{"type", "GET_CLIPBOARD"}, {"xmlType", "XMSS"}});
  const std::string unknown = QueueFor(kKey, {{"type", "get_clipboard"}});

  const FmhostRun run = Run({RegisterCall(kKey), "idle 23000", "eval TideLoom.UpdateAvailable"});
  EXPECT_EQ(run.ResultOf("TideLoom.Register"), "OK");
  EXPECT_EQ(
      run.ResultOf("TideLoom.UpdateAvailable"),
      "TideLoom plugin v1.7.0 is available \xE2\x80\x94 download at tideloom.app/guide#plugin");

  const nlohmann::json files = Command(listFiles);
  EXPECT_EQ(files["state"], "completed") << files.dump(2);
  EXPECT_EQ(FirstPush(files)["xmlType"], "FILE_LIST");
  EXPECT_EQ(FirstPush(files)["label"], "Open Files");
  const std::string fileList = FirstPush(files).value("xmlContent", "");
  for (const char* name : {"Sales", "Contacts", "Inventory"}) {
    EXPECT_NE(fileList.find(std::string(name) + "\n"), std::string::npos) << fileList;
  }

  const nlohmann::json debug = Command(context);
  EXPECT_EQ(debug["state"], "completed") << debug.dump(2);
  const nlohmann::json report = nlohmann::json::parse(FirstPush(debug).value("xmlContent", "{}"));
  EXPECT_EQ(report["pluginVersion"], "1.6.18");
  EXPECT_EQ(report["registered"], true);
  EXPECT_EQ(report["baseUrl"], RelayUrl());
  EXPECT_EQ(report["targetFile"], "Contacts");
  EXPECT_EQ(report["currentFile"], "Sales");

  EXPECT_EQ(Command(setClipboard)["state"], "completed");

  const nlohmann::json listing = Command(formats);
  EXPECT_EQ(listing["state"], "completed");
  const std::string formatLines = FirstPush(listing).value("xmlContent", "");
  EXPECT_NE(formatLines.find("\tMac-XMSS\n"), std::string::npos) << formatLines;
  EXPECT_NE(formatLines.find("13\tCF_UNICODETEXT\n"), std::string::npos) << formatLines;

  const nlohmann::json clipboard = Command(getClipboard);
  EXPECT_EQ(clipboard["state"], "completed");
  EXPECT_EQ(FirstPush(clipboard)["xmlType"], "XMSS");
  EXPECT_EQ(FirstPush(clipboard)["xmlContent"], kSnippet);
  EXPECT_FALSE(FirstPush(clipboard).contains("label"));

  const nlohmann::json refused = Command(unknown);
  EXPECT_EQ(refused["state"], "failed");
  EXPECT_EQ(refused["completion"]["error"], "Unknown command type: get_clipboard");
}

TEST_F(BridgeEndToEndTest, ARestartedHostResumesFromItsSettingsWithoutRegistering) {
  StartRelay();
  Run({RegisterCall(kKey), "idle 200"});
  EXPECT_TRUE(std::filesystem::exists(settingsFolder / "settings.json"));

  const std::string listFiles = QueueFor(kKey, {{"type", "LIST_FILES"}});
  Run({"idle 4000"});
  EXPECT_EQ(Command(listFiles)["state"], "completed");
}

TEST_F(BridgeEndToEndTest, ARefusedRegistrationStoresNothing) {
  RelayServiceConfig guarded;
  guarded.acceptedKeys = std::set<std::string>{"the-only-key"};
  StartRelay(guarded);
  const FmhostRun run = Run({RegisterCall("someone-else"), "idle 200"});
  EXPECT_EQ(run.ResultOf("TideLoom.Register").rfind("ERROR: registration refused (HTTP 401): ", 0),
            0u)
      << run.ResultOf("TideLoom.Register");
  EXPECT_FALSE(std::filesystem::exists(settingsFolder / "settings.json"));
}

TEST_F(BridgeEndToEndTest, ShutdownDoesNotWaitForAPollTheServiceHoldsUnanswered) {
  RelayServiceConfig holding;
  holding.holds = {{"/api/bridge/command/next", 120}};
  StartRelay(holding);
  const FmhostRun run = Run({RegisterCall(kKey), "idle 500", "shutdown"});
  EXPECT_EQ(run.ResultOf("TideLoom.Register"), "OK");
  // Shutdown waits at most about 2 s for background work; the held poll would take 120 s.
  EXPECT_LT(run.seconds, 60.0);
}

} // namespace
