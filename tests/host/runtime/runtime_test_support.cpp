#include "runtime_test_support.h"

#include <atomic>
#include <fstream>
#include <sstream>

namespace fmhost_test {

const char* const kSolutionJson = R"json({
  "activeFile": "Main.fmp12",
  "windows": ["Main", "Other"],
  "files": [
    {"name": "Main.fmp12",
     "tables": [{"name": "People", "fields": [{"name": "Name"}]}],
     "scripts": [
       {"name": "Save", "steps": [{"saveCopyAsXml": "$path"}, {"evaluate": "Fake.Mark ( $path )"}]},
       {"name": "Refused", "startError": 825, "steps": [{"evaluate": "Fake.Mark ( \"refused\" )"}]},
       {"name": "Loop", "steps": [{"evaluate": "Fake.StartScript ( \"Loop\" )"}]}
     ]},
    {"name": "Other.fmp12",
     "scripts": [{"name": "Only Other", "steps": [{"evaluate": "Fake.Mark ( \"other\" )"}]}]}
  ]
})json";

fmhost::Solution TestSolution() { return fmhost::ParseSolution(kSolutionJson); }

std::string FakePluginPath() { return FAKE_PLUGIN_PATH; }

TempFile::TempFile(const std::string& content, const std::string& suffix) {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("fmhost_runtime_test_" + std::to_string(counter++) + "_" +
           std::to_string(reinterpret_cast<std::uintptr_t>(this) % 100000) + suffix);
  std::ofstream(path_, std::ios::binary) << content;
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::string TempFile::path() const { return path_.string(); }

std::vector<std::string> CommandRun::OutLines() const {
  std::vector<std::string> lines;
  std::istringstream stream(out);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

CommandRun RunFmhost(const std::vector<std::string>& arguments, const std::string& input) {
  CommandRun run;
  std::istringstream in(input);
  fmhost::Console console;
  console.out = [&](std::string_view text) { run.out += text; };
  console.err = [&](std::string_view text) { run.err += text; };
  console.readLine = [&](std::string& line) { return static_cast<bool>(std::getline(in, line)); };
  run.exitCode = fmhost::RunFmhost(arguments, console);
  return run;
}

void HostTest::SetUp() {
  fmhost::ResetHost();
  fmhost::UseSolution(TestSolution());
  std::string error;
  plugin_ = fmhost::Plugin::Load(FakePluginPath(), &error);
  ASSERT_TRUE(plugin_) << error;
}

void HostTest::TearDown() {
  plugin_.reset();
  fmhost::ResetHost();
}

std::string HostTest::Eval(const std::string& expression) {
  const fmhost::CalcResult result = fmhost::Evaluate(expression);
  return result.error != 0 ? "error " + std::to_string(result.error) : result.value.text;
}

} // namespace fmhost_test
