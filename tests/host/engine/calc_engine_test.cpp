// What the host tells about its files (Get, the name lists, a solution's questionMark and failing
// lists), plug-in functions, re-entrant evaluation, variables, Let, scripts and hostile input.
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/calc_text.h"
#include "engine_fixture.h"

namespace fmhost {
namespace {

using NameFunctionsTest = EngineTest;

TEST_F(NameFunctionsTest, GetListsCharAndPatternCountAnswerFromTheSolutionAndTheContextFile) {
  const char* windows = "Sales - Invoices (Detail)\rContacts - People (List)\r"
                        "Inventory - Products (Table)\rSales - Dashboard";
  ExpectAll({
      {"get ( filename )", "Contacts", 0, "contacts.FMP12"},
      {"Get ( PersistentID )", "7A3F9C2E1B5D4E8F9A0B1C2D3E4F5A6B"},
      {"Get ( NoSuchThing )", "", kCalcErrorGetParameter},
      {"\"x\"", "", kCalcErrorFileMissing, "Nowhere"}, // a context file not open
      {"WindowNames ( )", windows},
      {"WindowNames ( \"sales.FMP12\" )", "Sales - Invoices (Detail)\rSales - Dashboard"},
      {"WindowNames ( \"Nowhere\" )", "", kCalcErrorFileMissing},
      {"DatabaseNames ( \"Nowhere\" )", "", kCalcErrorFileMissing},
      {"FieldNames ( \"Inventory\" ; \"products\" )", "Id\rSku\rName\rPrice\rInStock\rPicture"},
      {"CustomFunctionNames", "FormatPhone", 0, "Contacts"},
      {"TableNames ( \"\" )", "", kCalcErrorFileMissing},
      {"FieldNames ( \"Contacts\" ; \"Invoices\" )", "", kCalcErrorTableMissing},
      {"ScriptNames", "", kCalcErrorArgumentCount},
      {"ScriptNames ( \"Sales\" ; \"Sales\" )", "", kCalcErrorArgumentCount},
      {"FieldNames ( \"Sales\" )", "", kCalcErrorArgumentCount},
      {"NoSuchFunction ( 1 )", "", kCalcErrorUnknownFunction},
      {"Sales", "", kCalcErrorUnknownFunction},
      {"Char ( 65.9 )", "A"},
      {"Char ( 233 )", "\xC3\xA9"},
      {"Char ( \"8364\" )", "\xE2\x82\xAC"},
      {"Char ( 127754 )", "\xF0\x9F\x8C\x8A"},
      {"Char ( 0 )", ""},
      {"Char ( 55296 )", ""}, // a lone surrogate is no character
      {"Char ( 1114112 )", ""},
      {"Char ( 99999999999999999999 )", ""},
      {"PatternCount ( \"Banana\" ; \"AN\" )", "2"},
      {"PatternCount ( \"aaa\" ; \"aa\" )", "1"},
      {"PatternCount ( \"abc\" ; \"\" )", "0"},
      {"PatternCount ( \"\xC3\x89t\xC3\xA9\" ; \"\xC3\xA9\" )", "2"},
      {"PatternCount ( \"\xD0\x9C\xD0\x98\xD0\xA0\" ; \"\xD0\xBC\xD0\xB8\" )", "1"},
      {"PatternCount ( \"a\xFF\x62\" ; \"\xFF\x42\" )", "1"}, // stray bytes match
      {"PatternCount ( \"a\" )", "", kCalcErrorArgumentCount},
  });
  EXPECT_TRUE(Eval("PatternCount ( \"a\" ; \"a\" )").value.isNumber);
  // A file's windows are those titled with its name as a whole word.
  solution->windows = {"Sales", "SalesArchive - Old", "Sales 2", "sales - lower", "Contacts"};
  EXPECT_EQ("Sales\rSales 2\rsales - lower", Text("WindowNames ( \"Sales\" )"));
  solution->windows.clear();
  ExpectAll({{"WindowNames", ""}, {"Get ( WindowName )", ""}});
  // A plug-in function's override comes from the file the calculation runs in; the lists of the
  // files a function asks about show in the schema tests.
  solution->files[0].questionMark.push_back("TideLoom.Anything");
  EXPECT_EQ("?", Text("TideLoom.Anything ( 1 )"));
  EXPECT_EQ(kCalcErrorUnknownFunction, Error("TideLoom.Anything ( 1 )", "Contacts"));
}

class CalcEngineTest : public EngineTest {
protected:
  // TideLoom.Echo returns its arguments joined by "|"; TideLoom.Eval evaluates its argument
  // in the caller's context, as a plug-in does through the host. (How a real plug-in's calls
  // cross shows in the host runtime's tests.)
  void SetUp() override {
    external = [this](const std::string& name, const std::vector<CalcValue>& args,
                      const CalcContext& context) -> std::optional<CalcResult> {
      if (EqualsIgnoringAsciiCase(name, "TideLoom.Echo")) {
        std::string joined;
        for (const CalcValue& arg : args)
          joined += (joined.empty() ? "" : "|") + arg.text;
        return CalcResult{0, {joined, false}};
      }
      if (EqualsIgnoringAsciiCase(name, "TideLoom.Eval")) {
        if (args.size() != 1) return CalcResult{kCalcErrorArgumentCount, {}};
        return engine.Evaluate(args[0].text, context);
      }
      if (name == "TideLoom.Throw") throw std::runtime_error("plug-in bug");
      return std::nullopt;
    };
  }
};

TEST_F(CalcEngineTest, ThrowingPlugInsAndEndlessReentryAreErrorsNotCrashes) {
  EXPECT_EQ(kCalcErrorSyntax, Error("\"a\" & TideLoom.Throw"));
  int calls = 0;
  external = [&](const std::string&, const std::vector<CalcValue>&,
                 const CalcContext& context) -> std::optional<CalcResult> {
    ++calls;
    return engine.Evaluate("TideLoom.Again", context);
  };
  EXPECT_EQ(kCalcErrorSyntax, Error("TideLoom.Again"));
  EXPECT_LT(calls, 100);
  EXPECT_EQ("Sales", Text("Get ( FileName )")); // the depth count is back to zero
}

TEST_F(CalcEngineTest, VariablesReadCaseBlindAndLetBindsLocalsScriptAndGlobalOnes) {
  variables["$Path"] = CalcValue{"C:\\x.xml", false};
  EXPECT_EQ("C:\\x.xml", Text("$path"));
  EXPECT_EQ("12", Text("Let ( [ a = 1 ; b = a & 2 ] ; b )"));
  EXPECT_EQ("inner|outer", Text("Let ( x = \"outer\" ; Let ( x = \"inner\" ; x ) & \"|\" & X )"));
  EXPECT_EQ("v", Text("Let ( [ $v = \"v\" ; $$g = \"g\" ] ; $v )"));
  EXPECT_EQ("v", variables["$v"].text);
  EXPECT_EQ("g", Text("$$G", "Contacts")); // globals outlive the evaluation
  EXPECT_EQ(kCalcErrorUnknownFunction, Error("Let ( x = 1 ; y )"));
  EXPECT_EQ(kCalcErrorFileMissing, Error("Let ( x = ScriptNames ( \"No\" ) ; 1 )"));
  EXPECT_EQ(kCalcErrorUnknownFunction, Error("Let ( y = 1 ; y ) & y")); // scope ends
  // Without caller variables they last one evaluation.
  EXPECT_EQ("11", engine.Evaluate("Let ( $a = 1 ; $a & $a )", CalcContext{"", nullptr}).value.text);
  EXPECT_EQ("", engine.Evaluate("$a", CalcContext{"", nullptr}).value.text);
}

TEST_F(CalcEngineTest, TextGrowthIsBoundedInsteadOfExhaustingMemory) {
  std::string let = "Let ( [ a0 = \"0123456789abcdef\"";
  for (int i = 1; i <= 40; ++i) {
    let += " ; a" + std::to_string(i) + " = a" + std::to_string(i - 1) + " & a" +
           std::to_string(i - 1);
  }
  EXPECT_EQ(kCalcErrorSyntax, Error(let + " ] ; a40 )"));
}

TEST_F(CalcEngineTest, RandomBytesAndTokenSoupNeverCrashOrLeaveAValueWithAnError) {
  // Tokens of the language and pieces of them, '|' between them.
  std::vector<std::string> tokens;
  std::istringstream soup(
      "(|)|;|&|\"|\\|\\\"|[|]|=|Let|Get|FileName|$x|$$y|z|Char|PatternCount|ExecuteSQL|\"SELECT "
      "1\"|WindowNames|ScriptNames|FieldNames|\"Sales\"|TideLoom.Eval|TideLoom.Echo|\xC2\xB6|\xC2|/"
      "*|*/|//|\n| |1|.5|65|\"\"|::|\xFF");
  for (std::string token; std::getline(soup, token, '|');)
    tokens.push_back(token);

  std::mt19937 random(20240514);
  for (int round = 0; round < 6000; ++round) {
    std::string expression;
    if (round % 2 == 0) {
      expression.resize(random() % 64);
      for (char& c : expression)
        c = static_cast<char>(random() % 256);
    } else {
      for (int i = static_cast<int>(random() % 40); i > 0; --i)
        expression += tokens[random() % tokens.size()];
    }
    const CalcResult result = Eval(expression);
    if (result.error != 0) {
      EXPECT_EQ("", result.value.text) << expression;
    }
  }
}

// Every save makes a new file, which the test removes again.
std::string TakeSavedCopy(const std::string& path) {
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  in.close();
  EXPECT_TRUE(std::filesystem::remove(file)) << path;
  return text.str();
}

TEST_F(CalcEngineTest, TheLivePushScriptSavesACopyAndPassesItsPathToThePlugIn) {
  std::string pushedPath;
  std::string pushedFrom;
  external = [&](const std::string& name, const std::vector<CalcValue>& args,
                 const CalcContext& context) -> std::optional<CalcResult> {
    if (name != "TideLoom.LivePush") return std::nullopt;
    pushedPath = args.at(0).text;
    pushedFrom = engine.Evaluate("Get ( FileName )", context).value.text;
    return CalcResult{0, {"OK", false}};
  };
  const ScriptRun run = engine.RunScript("sales.fmp12", "tideloom live push");
  EXPECT_EQ(0, run.lastStepError);
  EXPECT_EQ("Sales", pushedFrom);
  EXPECT_EQ(RenderFileAsXml(solution->files[0]), TakeSavedCopy(pushedPath));
  const ScriptRun again = engine.RunScript("Sales", "TideLoom Live Push");
  EXPECT_EQ(again.variables.at("$path").text, pushedPath);
  EXPECT_NE(run.variables.at("$path").text, pushedPath);
  TakeSavedCopy(pushedPath);
}

TEST_F(CalcEngineTest, StartErrorsMissingScriptsAndFailingStepsAreReported) {
  EXPECT_EQ(3, engine.RunScript("Sales", "Nightly Export").error);
  EXPECT_EQ(kCalcErrorScriptMissing, engine.RunScript("Sales", "No Such Script").error);
  EXPECT_EQ(kCalcErrorFileMissing, engine.RunScript("Nowhere", "Print Invoice").error);
  const ScriptRun push = engine.RunScript("", "TideLoom Live Push"); // no LivePush plug-in here
  TakeSavedCopy(push.variables.at("$path").text);
  EXPECT_EQ(0, push.error);
  EXPECT_EQ(kCalcErrorUnknownFunction, push.lastStepError);
  const ScriptRun empty = engine.RunScript("Sales", "Print Invoice");
  EXPECT_EQ(0, empty.error);
  EXPECT_TRUE(empty.variables.empty());
}

} // namespace
} // namespace fmhost
