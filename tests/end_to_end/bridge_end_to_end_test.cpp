// The whole bridge as a FileMaker developer meets it: the built plug-in inside fmhost, registered
// against tideloom-relay on loopback, carrying out commands queued at the relay. Each command
// type's results are checked byte for byte by the bridge's own tests; here, that each reaches the
// host and comes back.
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "relay_test_fixture.h"

namespace {

// fmhost run as its own process, as a developer runs it: with a solution, a scenario and --json.
struct FmhostRun {
  int exitCode = -1;
  double seconds = 0;
  std::vector<nlohmann::json> evaluations; // one per `eval`, in order
  std::string output;                      // everything fmhost printed

  std::string ResultOf(const std::string& prefix) const {
    for (const nlohmann::json& line : evaluations) {
      if (line.value("expr", "").starts_with(prefix)) return line.value("result", "<error>");
    }
    return "<not evaluated>";
  }
};

std::string EnvironmentOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

constexpr const char* kSnippet =
    "<fmxmlsnippet type=\"FMObjectList\"><Step enable=\"True\" id=\"89\" name=\"# (comment)\">"
    "<Text>caf\xC3\xA9 &amp; \"quotes\"</Text></Step></fmxmlsnippet>";

class BridgeEndToEndTest : public RelayTest {
protected:
  void SetUp() override {
    RelayTest::SetUp();
    settingsFile = SettingsFolder() / "settings.json";
    std::filesystem::remove_all(settingsFile.parent_path());
  }
  void TearDown() override {
    std::filesystem::remove_all(settingsFile.parent_path());
    RelayTest::TearDown();
  }

  std::filesystem::path SettingsFolder() const {
    if (launcher.empty()) return configHome.path / "TideLoom";
    const std::filesystem::path users =
        std::filesystem::path(EnvironmentOr("WINEPREFIX", TIDELOOM_WINEPREFIX)) / "drive_c" /
        "users";
    // Wine names the profile after the Unix user; "Public" is shared by all.
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(users, error)) {
      if (entry.path().filename() != "Public")
        return entry.path() / "AppData" / "Roaming" / "TideLoom";
    }
    return users / "unknown" / "AppData" / "Roaming" / "TideLoom";
  }
  std::string RelayUrl() const { return "http://127.0.0.1:" + std::to_string(relay->port); }
  std::string RegisterCall() const {
    return "eval TideLoom.Register ( \"dev@example.com\" ; \"e2e-key\" ; \"machine-1\" ; \"" +
           RelayUrl() + "\" )";
  }
  // Runs fmhost with the scenario lines and this test's settings folder; it must end normally.
  FmhostRun Run(const std::vector<std::string>& scenario) {
    const std::filesystem::path scenarioFile = configHome.path / "scenario.txt";
    // Output goes to a file: Wine's server and services could hold a pipe open after fmhost ends.
    const std::filesystem::path outputFile = configHome.path / "output.txt";
    {
      std::ofstream out(scenarioFile, std::ios::binary);
      for (const std::string& line : scenario)
        out << line << '\n';
    }
    std::string command = "XDG_CONFIG_HOME=" + ShellQuoted(configHome.path.string()) + " ";
    if (!launcher.empty()) command += ShellQuoted(launcher) + " ";
    command += ShellQuoted(fmhost) + " --plugin " + ShellQuoted(plugin) + " --solution " +
               ShellQuoted(solution) + " --json --run " + ShellQuoted(scenarioFile.string()) +
               " > " + ShellQuoted(outputFile.string()) + " 2>&1 < /dev/null";

    FmhostRun run;
    const auto started = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ostringstream text;
    text << std::ifstream(outputFile, std::ios::binary).rdbuf();
    run.output = text.str();

    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
      if (line.ends_with('\r')) line.pop_back();
      const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
      if (parsed.is_object() && parsed.contains("expr")) run.evaluations.push_back(parsed);
    }
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run;
  }
  std::string QueueCommand(nlohmann::json command) {
    command["licenseKey"] = "e2e-key";
    return Queue(command);
  }
  nlohmann::json FirstPush(const std::string& id) {
    const nlohmann::json command = Command(id);
    EXPECT_EQ(command["state"], "completed") << command.dump(2);
    return command["pushes"].empty() ? nlohmann::json::object() : command["pushes"][0]["body"];
  }

  // Which fmhost runs: the Linux build by default; the environment names another (fmhost.exe with
  // scripts/wine_run.sh as the launcher).
  const std::string launcher = EnvironmentOr("TIDELOOM_E2E_LAUNCHER", "");
  const std::string fmhost = EnvironmentOr("TIDELOOM_E2E_FMHOST", TIDELOOM_FMHOST);
  const std::string plugin = EnvironmentOr("TIDELOOM_E2E_PLUGIN", TIDELOOM_PLUGIN);
  const std::string solution = EnvironmentOr("TIDELOOM_E2E_SOLUTION", TIDELOOM_SOLUTION);
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
