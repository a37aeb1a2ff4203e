// A plug-in loaded and driven as FileMaker drives it: the call record, registration, calls of
// its functions from calculations, and the scripts it starts.
#include <gtest/gtest.h>

#include <filesystem>

#include "runtime_test_support.h"

namespace {

// The host with the test solution and the fake plug-in loaded and started.
class PluginTest : public ::testing::Test {
protected:
  void SetUp() override {
    fmhost::ResetHost();
    fmhost::UseSolution(fmhost::ParseSolution(fmhost_test::kSolutionJson));
    std::string error;
    plugin_ = fmhost::Plugin::Load(fmhost_test::FakePluginPath(), &error);
    ASSERT_TRUE(plugin_) << error;
    ASSERT_EQ(plugin_->Startup(), 76);
  }
  void TearDown() override {
    plugin_.reset();
    fmhost::ResetHost();
  }
  // The result text, or "error N".
  static std::string Eval(const std::string& expression) {
    const fmhost::CalcResult result = fmhost::Evaluate(expression);
    return result.error != 0 ? "error " + std::to_string(result.error) : result.value.text;
  }

  std::unique_ptr<fmhost::Plugin> plugin_;
};

TEST_F(PluginTest, ShutdownOrUnloadingRemovesEveryFunctionAndLeavesNoHostObject) {
  plugin_->Shutdown();
  EXPECT_TRUE(fmhost::RegisteredFunctions().empty());
  EXPECT_EQ(fmhost::UnregisteredIds().size(), 11u);
  EXPECT_EQ(Eval("Fake.Echo ( 1 )"), "error 1202");
  EXPECT_EQ(fmhost::LiveHostObjects(), 0u);

  plugin_->Startup();
  plugin_.reset();
  EXPECT_TRUE(fmhost::RegisteredFunctions().empty());
  EXPECT_EQ(Eval("Fake.Echo ( 1 )"), "error 1202");
}

TEST_F(PluginTest, CallsCrossAsUtf16WithinTheirParameterRangeAndEvaluateReentrantly) {
  const std::string unbound = std::to_string(fmhost::kUnboundEnvironmentError);
  const struct {
    const char* expression;
    std::string result;
  } cases[] = {
      {"Fake.Pair ( \"a\" )", "error 1201"},
      {"Fake.Pair ( 1 ; 2 ; 3 )", "1|2|3"},
      {"Fake.Pair ( 1 ; 2 ; 3 ; 4 )", "error 1201"},
      {"Fake.Fail", "error 1201"},
      {"Fake.Echo", ""},
      {"\"x\" & Fake.Echo ( \"a\" ; 1.50 )", "xa|1.5"},
      {"fAKE.eCHO ( 1 ; 2 ; 3 ; 4 ; 5 ; 6 )", "1|2|3|4|5|6"},
      {"Fake.Fail ( 7 )", "error 7"}, // and its result is dropped
      {"Fake.Fail ( 0 )", "not this"},
      {"Fake.Units ( \"a\xF0\x9F\x98\x80\" )", "0061 D83D DE00"},
      {"Fake.Echo ( \"\xC3\xA9\xF0\x9F\x98\x80\" )", "\xC3\xA9\xF0\x9F\x98\x80"},
      {"Fake.Eval ( \"Fake.Echo ( \\\"x\\\" ; \\\"y\\\" )\" )", "x|y"},
      {"Let ( $v = 3 ; Fake.Eval ( \"$v\" ) )", "3"},
      {"Let ( $n = 1 ; Fake.Eval ( \"Let ( $n = 2 ; $n )\" ) & $n )", "22"},
      {"Fake.Eval ( \"1 +\" )", "error 1200"},
      // A new environment evaluates only once bound to the active file.
      {"Fake.ContextEval ( \"Get ( FileName )\" )",
       "before=error " + unbound + " bound=0 after=" + Eval("Get ( FileName )")},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Eval(c.expression), c.result) << c.expression;
  EXPECT_EQ(fmhost::LiveHostObjects(), 0u);
}

TEST_F(PluginTest, AScriptStartedDuringAnIdleCallRunsAfterTheCallReturns) {
  std::vector<fmhost::ScriptOutcome> outcomes;
  fmhost::SetScriptObserver(
      [&](const fmhost::ScriptOutcome& outcome) { outcomes.push_back(outcome); });
  EXPECT_EQ(Eval("Fake.OnIdle ( \"start:Save\" )"), "OK");
  plugin_->Idle(2);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].run.error, 0);
  EXPECT_EQ(outcomes[0].started.script, "Save");
  EXPECT_EQ(outcomes[0].started.control, 2);

  // The script saved an XML copy and handed its path to the plug-in, in the script's file.
  const std::string log = Eval("Fake.Log"), head = "startup,idle2,started=0,idle-end,";
  const std::string file = "@" + Eval("Get ( FileName )");
  ASSERT_EQ(log.rfind(head, 0), 0u) << log;
  ASSERT_EQ(log.substr(log.size() - file.size()), file) << log;
  const std::string saved = log.substr(head.size(), log.size() - head.size() - file.size());
  EXPECT_TRUE(std::filesystem::remove(std::u8string(saved.begin(), saved.end()))) << saved;
  const std::vector<fmhost::StartedScript> started = fmhost::StartedScripts();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].file, "Main.fmp12");
}

TEST_F(PluginTest, StartingAScriptReportsAMissingFileScriptOrItsStartError) {
  EXPECT_EQ(Eval("Fake.StartScript ( \"Nope\" )"), "104");
  EXPECT_EQ(Eval("Fake.StartScript ( \"Gone.fmp12\" ; \"Save\" )"), "100");
  EXPECT_EQ(Eval("Fake.StartScript ( \"Refused\" )"), "825");
  EXPECT_EQ(Eval("Fake.StartScript ( \"Only Other\" )"), "104") << "not in the active file";
  EXPECT_TRUE(fmhost::StartedScripts().empty());
  EXPECT_EQ(fmhost::RunStartedScripts(), 0u);

  EXPECT_EQ(Eval("Fake.StartScript ( \"other\" ; \"Only Other\" )"), "0");
  EXPECT_EQ(Eval("Fake.Log"), "startup") << "nothing runs inside the calculation";
  EXPECT_EQ(fmhost::RunStartedScripts(), 1u);
  fmhost::SetActiveFile("Other");
  EXPECT_EQ(Eval("Fake.Log"), "startup,other@" + Eval("Get ( FileName )"));
  EXPECT_EQ(fmhost::CurrentSolution().windows.front(), "Main") << "windows stay as given";

  // A script that keeps starting itself cannot hang the host.
  fmhost::SetActiveFile("Main");
  EXPECT_EQ(Eval("Fake.StartScript ( \"Loop\" )"), "0");
  const std::size_t ran = fmhost::RunStartedScripts();
  EXPECT_GT(ran, 1u);
  EXPECT_LT(ran, 100000u);
}

} // namespace
