// fmhost's command line as scripts and other test suites use it: options, scenarios, output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "runtime_test_support.h"

namespace {

using fmhost_test::FakePluginPath;
using nlohmann::json;

struct CommandRun {
  int exitCode = -1;
  std::string out, err;
};

CommandRun RunFmhost(const std::vector<std::string>& arguments, const std::string& input = "") {
  CommandRun run;
  std::istringstream in(input);
  fmhost::Console console;
  console.out = [&](std::string_view text) { run.out += text; };
  console.err = [&](std::string_view text) { run.err += text; };
  console.readLine = [&](std::string& line) { return static_cast<bool>(std::getline(in, line)); };
  run.exitCode = fmhost::RunFmhost(arguments, console);
  return run;
}

// Runs fmhost with the fake plug-in and the test solution, written to a temporary file.
class FmhostCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::ofstream(solution_, std::ios::binary) << fmhost_test::kSolutionJson;
  }
  void TearDown() override {
    fmhost::ResetHost();
    std::error_code ignored;
    std::filesystem::remove(solution_, ignored);
  }
  CommandRun Run(std::vector<std::string> arguments, const std::string& input = "") {
    arguments.insert(arguments.begin(),
                     {"--plugin", FakePluginPath(), "--solution", solution_.string()});
    return RunFmhost(arguments, input);
  }

  const std::filesystem::path folder_ = std::filesystem::temp_directory_path();
  // Test programs may run side by side, each with the same addresses.
  const std::string unique_ = std::to_string(std::random_device{}());
  const std::filesystem::path solution_ = folder_ / ("fmhost_test_solution_" + unique_ + ".json");
};

TEST_F(FmhostCommandTest, DescribePrintsStartupResultStringsAndFunctionsAsOneJsonObject) {
  const CommandRun run = Run({"--describe"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  ASSERT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
  const json description = json::parse(run.out);
  EXPECT_EQ(description["startupResult"], 76);
  // 130 answers a lone surrogate, which comes out as U+FFFD.
  const json strings =
      json::parse(R"j({"128":"Fake Plug-in","129":"Tests the host: \u00e9 \ud83d\ude00",)j"
                  R"j("130":"\ufffdx","131":"FkPl1nnYYnn","132":"https://example.invalid/help"})j");
  EXPECT_EQ(description["strings"], strings);
  const json& functions = description["functions"];
  ASSERT_EQ(functions.size(), 10u);
  const json expected = json::parse(
      R"j({"pluginId":"FkPl","id":200,"name":"Fake.Echo","prototype":"Fake.Echo( ... )",)j"
      R"j("description":"Fake function 200 \u2713","min":0,"max":-1,"flags":16777086})j");
  EXPECT_EQ(functions[0], expected);
  EXPECT_EQ(run.out.substr(0, 17), "{\"startupResult\":") << "members in the documented order";
}

TEST_F(FmhostCommandTest, APluginThatDeclinesToStartFailsTheRunButIsStillDescribed) {
  const CommandRun run = Run({"--describe", "--api", "55"});
  EXPECT_EQ(run.exitCode, 1);
  const json description = json::parse(run.out);
  EXPECT_EQ(description["startupResult"], -2);
  EXPECT_TRUE(description["functions"].empty());
  EXPECT_NE(run.err.find("-2"), std::string::npos);

  // Injected failures apply from the first call for their count.
  const CommandRun failed =
      Run({"--describe", "--fail", "FM_ExprEnv_RegisterExternalFunctionEx:2:2"});
  EXPECT_EQ(failed.exitCode, 1) << "the first registration failed, so the plug-in declined";
  const json partial = json::parse(failed.out);
  EXPECT_EQ(partial["startupResult"], -2);
  ASSERT_EQ(partial["functions"].size(), 8u);
  EXPECT_EQ(partial["functions"][0]["id"], 202);
  const CommandRun once = Run({"--describe", "--fail", "FM_QuadChar_Constructor2:1"});
  EXPECT_EQ(json::parse(once.out)["startupResult"], -2) << "no plug-in ID, nothing registered";
}

TEST_F(FmhostCommandTest, ResultsPrintAsOneJsonLineEachOrAsText) {
  const CommandRun run = Run({"--json", "--eval", "Fake.Echo ( \"a\" ; \"b\xC3\xA9\" )", "--eval",
                              "Fake.Nothing", "--eval", "\"line\" & Char ( 13 ) & \"\\\"q\\\"\"",
                              "--eval", "Fake.Echo ( \"\xFF\xC3\" )"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // Each ill-formed sequence is one U+FFFD.
  const std::string e = "\xC3\xA9", replaced = "\xEF\xBF\xBD\xEF\xBF\xBD";
  EXPECT_EQ(run.out,
            R"j({"expr":"Fake.Echo ( \"a\" ; \"b)j" + e + R"j(\" )","result":"a|b)j" + e +
                "\"}\n"
                R"j({"expr":"Fake.Nothing","error":1202})j"
                "\n"
                R"j({"expr":"\"line\" & Char ( 13 ) & \"\\\"q\\\"\"","result":"line\r\"q\""})j"
                "\n"
                R"j({"expr":"Fake.Echo ( \")j" +
                replaced + R"j(\" )","result":")j" + replaced + "\"}\n");

  // As text, returns become line breaks (errors as text show in the calls' table).
  EXPECT_EQ(Run({"--eval", "\"a\" & Char ( 13 ) & \"b\""}).out, "a\nb\n");
}

TEST_F(FmhostCommandTest, AScenarioRunsItsActionsBetweenStartupAndShutdown) {
  // Scenarios come on standard input here; the end-to-end test runs them from files.
  const CommandRun run =
      Run({"--idle-times", "--run", "-"}, "# a comment line\n"
                                          "\n"
                                          "eval Fake.Echo ( \"a#b\" )   # a trailing comment\n"
                                          "level 2\r\n"
                                          "eval Fake.OnIdle ( \"start:Other.fmp12/Only Other\" )\n"
                                          "idle 0\n"
                                          "activate Other\n"
                                          "eval Get ( FileName )\n"
                                          "eval Fake.Eval ( \"Get ( FileName )\" )\n"
                                          "eval Fake.Log\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // The plug-in's calculation runs in the activated file, and the script the idle call started
  // ran after it, in its own file.
  EXPECT_EQ(run.out, "a#b\nOK\nOther.fmp12\nOther.fmp12\n"
                     "startup,idle2,started=0,idle-end,other@Other.fmp12\n");
  EXPECT_NE(run.err.find("script \"Only Other\" in \"Other.fmp12\" ran"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("fmhost: idle call took "), std::string::npos) << run.err;
}

// Every row crosses the host as a plug-in's call would; a leaked host object fails the run.
TEST_F(FmhostCommandTest, CallsCrossAsUtf16WithinTheirParameterRangeAndEvaluateReentrantly) {
  const struct {
    const char* expression;
    const char* result;
  } cases[] = {
      {"Fake.Pair ( \"a\" )", "? (error 1201)"},
      {"Fake.Pair ( 1 ; 2 ; 3 )", "1|2|3"},
      {"Fake.Pair ( 1 ; 2 ; 3 ; 4 )", "? (error 1201)"},
      {"Fake.Echo", ""},
      {"\"x\" & Fake.Echo ( \"a\" ; 1.50 )", "xa|1.5"},
      {"fAKE.eCHO ( 1 ; 2 ; 3 ; 4 ; 5 ; 6 )", "1|2|3|4|5|6"},
      {"Fake.Fail ( 7 )", "? (error 7)"}, // and its result is dropped
      {"Fake.Fail ( 0 )", "not this"},
      {"Fake.Eval ( \"Fake.Echo ( \\\"x\\\" ; \\\"y\\\" )\" )", "x|y"},
      {"Let ( $n = 1 ; Fake.Eval ( \"Let ( $n = 2 ; $n )\" ) & $n )", "22"},
      {"Fake.Eval ( \"1 +\" )", "error 1200"},
      // A new environment evaluates only once bound to the active file.
      {"Fake.ContextEval ( \"Get ( FileName )\" )", "before=error 3 bound=0 after=Main.fmp12"},
  };
  std::vector<std::string> arguments;
  std::string results;
  for (const auto& c : cases) {
    arguments.insert(arguments.end(), {"--eval", c.expression});
    results += c.result + std::string("\n");
  }
  const CommandRun run = Run(arguments);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, results);
}

// The scenario starts the plug-in itself, so fmhost sends no start-up of its own.
TEST_F(FmhostCommandTest, AScenarioStartsThePluginAtWillAndScriptsItStartsRunAfterTheCalculation) {
  const CommandRun run =
      Run({"--run", "-"}, "eval Fake.Echo ( 1 )\n"
                          "startup\n"
                          "eval Fake.StartScript ( \"Nope\" )\n"
                          "eval Fake.StartScript ( \"Gone.fmp12\" ; \"Save\" )\n"
                          "eval Fake.StartScript ( \"Refused\" )\n"
                          "eval Fake.StartScript ( \"Only Other\" )\n"
                          "shutdown\n"
                          "eval Fake.Echo ( 1 )\n"
                          "startup\n"
                          "eval Fake.StartScript ( \"other\" ; \"Only Other\" ) & Fake.Log\n"
                          "activate Other\n"
                          "eval Fake.Log & \"|\" & Get ( WindowName )\n"
                          "activate Main\n"
                          "eval Fake.StartScript ( \"Loop\" )\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // Not registered before start-up nor once shut down; "Only Other" is not in the active file;
  // windows stay as the solution gives them.
  EXPECT_EQ(run.out,
            "? (error 1202)\n104\n100\n825\n104\n? (error 1202)\n0startup,shutdown,startup\n"
            "startup,shutdown,startup,other@Other.fmp12|Main\n0\n");
  // A script that keeps starting itself cannot hang the host; it ran more than once.
  EXPECT_NE(run.err.find("script \"Loop\" in"), run.err.rfind("script \"Loop\" in")) << run.err;
}

// Each row is a plug-in breaking one of the host's rules; fmhost stops it or reports it at the
// end, and exits with 3.
TEST_F(FmhostCommandTest, APluginThatBreaksAHostRuleIsStoppedWithAMessageAndExitStatusThree) {
  const struct {
    const char* misbehaviour;
    const char* message;
  } cases[] = {
      {"thread", "the plug-in called FM_Text_Constructor1 on another thread than the one that "
                 "loaded it"},
      {"late", "the plug-in called FM_Text_Constructor1 after shutdown"},
      {"forged", "the plug-in called FM_Text_GetSize with .*, which is no live host text"},
      {"wrong kind",
       "the plug-in called FM_DataVect_Size with .*, which is no live host parameter vector"},
      {"leak", "the plug-in left host objects undeleted: 1 texts, 1 data values, 0 parameter "
               "vectors, 1 environments, 1 plug-in IDs"},
  };
  for (const auto& sample : cases) {
    const std::string expression =
        "Fake.Misbehave ( \"" + std::string(sample.misbehaviour) + "\" )";
    EXPECT_EXIT(
        {
          const CommandRun run = Run({"--eval", expression});
          std::fputs(run.err.c_str(), stderr);
          std::exit(run.exitCode);
        },
        ::testing::ExitedWithCode(3), sample.message);
  }
}

// Mistakes in the options or the scenario (here on standard input) stop fmhost before the plug-in
// runs at all.
TEST_F(FmhostCommandTest, UsageErrorsAndBadScenariosExitWithTwoBeforeAnythingRuns) {
  const struct {
    std::vector<std::string> arguments;
    const char* scenario;
    std::string message;
  } cases[] = {
      {{"--bogus"}, "", "unknown option \"--bogus\""},
      {{"--api", "70000"}, "", "--api needs a 16-bit number"},
      {{"--eval"}, "", "--eval needs a value"},
      {{"--fail", "FM_Nothing:1"}, "", "\"FM_Nothing\" is no library call"},
      {{"--fail", "FM_Text_Assign:0"}, "", "--fail needs CALL:CODE[:N]"},
      {{"--fail", "FM_Text_Assign:1:0"}, "", "--fail needs CALL:CODE[:N]"},
      {{"--fail", "FM_Text_Assign:x"}, "", "--fail needs CALL:CODE[:N]"},
      {{"--solution", "/no/s.json"}, "", "cannot read the solution file /no/s.json"},
      {{"--solution", FakePluginPath()}, "", FakePluginPath() + ": solution is not valid JSON"},
      {{"--run", "-"}, "eval 1\nfrobnicate\n", "line 2: unknown action \"frobnicate\""},
      {{"--run", "-"}, "idle soon\n", "line 1: \"idle\" needs milliseconds"},
      {{"--run", "-"}, "level 256\n", "line 1: \"level\" needs an idle level"},
      {{"--run", "-"}, "eval\n", "line 1: \"eval\" needs an expression"},
      {{"--run", "-"}, "startup now\n", "line 1: \"startup\" takes nothing after it"},
      {{"--run", "-"}, "activate Elsewhere\n", "no open file is named \"Elsewhere\""},
  };
  for (const auto& c : cases) {
    const CommandRun run = Run(c.arguments, c.scenario);
    EXPECT_EQ(run.exitCode, 2) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(RunFmhost({"--describe"}).exitCode, 2) << "no --plugin";

  const CommandRun missing = RunFmhost({"--plugin", "/no/such/plugin.fmx64"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("cannot load the plug-in"), std::string::npos);

  const CommandRun help = RunFmhost({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage: fmhost --plugin PATH", 0), 0u);
}

} // namespace
