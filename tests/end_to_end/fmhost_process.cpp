#include "fmhost_process.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include <sys/wait.h>
#include <unistd.h>

namespace {

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

} // namespace

std::string FmhostRun::ResultOf(const std::string& prefix) const {
  for (const nlohmann::json& line : evaluations) {
    if (line.value("expr", "").starts_with(prefix)) return line.value("result", "<error>");
  }
  return "<not evaluated>";
}

FmhostSetup FmhostFromEnvironment() {
  return {EnvironmentOr("TIDELOOM_E2E_LAUNCHER", ""),
          EnvironmentOr("TIDELOOM_E2E_FMHOST", TIDELOOM_FMHOST),
          EnvironmentOr("TIDELOOM_E2E_PLUGIN", TIDELOOM_PLUGIN),
          EnvironmentOr("TIDELOOM_E2E_SOLUTION", TIDELOOM_SOLUTION)};
}

FmhostRun RunFmhost(const FmhostSetup& setup, const std::vector<std::string>& scenario,
                    const std::map<std::string, std::string>& environment) {
  static int runs = 0;
  const std::filesystem::path scenarioFile =
      std::filesystem::temp_directory_path() /
      ("tideloom-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(++runs) + ".scenario");
  // Output goes to a file: Wine's server and services could hold a pipe open after fmhost ends.
  const std::filesystem::path outputFile = scenarioFile.string() + ".out";
  {
    std::ofstream out(scenarioFile, std::ios::binary);
    for (const std::string& line : scenario)
      out << line << '\n';
  }
  std::string command;
  for (const auto& [name, value] : environment)
    command += name + "=" + ShellQuoted(value) + " ";
  if (setup.underWine()) command += ShellQuoted(setup.launcher) + " ";
  command += ShellQuoted(setup.fmhost) + " --plugin " + ShellQuoted(setup.plugin) + " --solution " +
             ShellQuoted(setup.solution) + " --json --run " + ShellQuoted(scenarioFile.string()) +
             " > " + ShellQuoted(outputFile.string()) + " 2>&1 < /dev/null";

  FmhostRun run;
  const auto started = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ostringstream text;
  text << std::ifstream(outputFile, std::ios::binary).rdbuf();
  run.output = text.str();
  std::filesystem::remove(scenarioFile);
  std::filesystem::remove(outputFile);

  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.ends_with('\r')) line.pop_back();
    const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
    if (parsed.is_object() && parsed.contains("expr")) run.evaluations.push_back(parsed);
  }
  return run;
}

std::filesystem::path SettingsFolderOf(const FmhostSetup& setup,
                                       const std::filesystem::path& linuxConfigHome) {
  if (!setup.underWine()) return linuxConfigHome / "TideLoom";
  const std::filesystem::path users =
      std::filesystem::path(EnvironmentOr("WINEPREFIX", TIDELOOM_WINEPREFIX)) / "drive_c" / "users";
  // Wine names the profile after the Unix user; "Public" is shared by all.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(users, error)) {
    if (entry.path().filename() != "Public")
      return entry.path() / "AppData" / "Roaming" / "TideLoom";
  }
  return users / "unknown" / "AppData" / "Roaming" / "TideLoom";
}
