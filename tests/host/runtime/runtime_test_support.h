// What the host runtime's tests share: the fake plug-in, a small solution, temporary files and
// a way to run fmhost in this process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fmhost_api.h"

namespace fmhost_test {

// Main.fmp12 (active; scripts "Save", "Refused" failing with 825, "Loop" starting itself) and
// Other.fmp12 (script "Only Other").
extern const char* const kSolutionJson;
fmhost::Solution TestSolution();

std::string FakePluginPath();

// A file in the temporary folder, removed when done.
class TempFile {
public:
  explicit TempFile(const std::string& content, const std::string& suffix = ".txt");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  std::string path() const;

private:
  std::filesystem::path path_;
};

struct CommandRun {
  int exitCode = -1;
  std::string out, err;
  std::vector<std::string> OutLines() const;
};
CommandRun RunFmhost(const std::vector<std::string>& arguments, const std::string& input = "");

// The host with the test solution and the fake plug-in loaded (not yet started).
class HostTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // The result text, or "error N".
  static std::string Eval(const std::string& expression);

  std::unique_ptr<fmhost::Plugin> plugin_;
};

} // namespace fmhost_test
