// fmhost run as its own process, as a developer runs it: with a solution, a scenario and --json.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct FmhostRun {
  int exitCode = -1;
  double seconds = 0;
  std::vector<nlohmann::json> evaluations; // one per `eval`, in order
  std::string output;                      // everything fmhost printed
  // The result of the first evaluation whose expression begins with `prefix`.
  std::string ResultOf(const std::string& prefix) const;
};

// Which fmhost runs: the Linux build by default; the environment names another (fmhost.exe with
// scripts/wine_run.sh as the launcher).
struct FmhostSetup {
  std::string launcher;
  std::string fmhost;
  std::string plugin;
  std::string solution;
  bool underWine() const { return !launcher.empty(); }
};
FmhostSetup FmhostFromEnvironment();

// Runs the scenario lines; `environment` is added to fmhost's environment.
FmhostRun RunFmhost(const FmhostSetup& setup, const std::vector<std::string>& scenario,
                    const std::map<std::string, std::string>& environment = {});

// Where the plug-in run by this setup keeps its settings file.
std::filesystem::path SettingsFolderOf(const FmhostSetup& setup,
                                       const std::filesystem::path& linuxConfigHome);
