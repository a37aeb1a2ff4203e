// How expressions are read: literals and their escapes, blanks, comments, nesting, errors.
#include <sstream>
#include <string>

#include "engine_fixture.h"

namespace fmhost {
namespace {

using CalcSyntaxTest = EngineTest;

TEST_F(CalcSyntaxTest, LiteralsBlanksCommentsAndAmpersandReadAsInFileMaker) {
  ExpectAll({
      {R"("say \"hi\"")", "say \"hi\""},
      {R"("back\\slash")", "back\\slash"},
      {"\"a\xC2\xB6z\"", "a\rz"},         // a pilcrow inside text is a return
      {"\"a\\\xC2\xB6z\"", "a\xC2\xB6z"}, // an escaped pilcrow stays a pilcrow
      {R"("C:\temp\n")", "C:\\temp\\n"},  // other backslashes are kept
      {"\"line\nbreak\"", "line\nbreak"},
      {"007", "7"},
      {"1.50", "1.5"},
      {".5", "0.5"},
      {"0.000", "0"},
      {"12345678901234567890.250", "12345678901234567890.25"},
      {R"("a" & "b" & 1.50 & "c")", "ab1.5c"},
      {"\"a\" & \xC2\xB6 & \"b\"", "a\rb"}, // a lone pilcrow is a return
      {" \t\r\n Get \r\n( \t FileName\n ) \r\n", "Sales"},
      {"\"a\" // to the end of the line\r& \"b\"", "ab"},
      {"\"a\" // to the end of the line\n& \"b\" // and at the end", "ab"},
      {"/* before */ \"a\" /* between \"quotes\" ; ( */ & \"b\" /**/", "ab"},
      {R"("/* kept */")", "/* kept */"},
  });
  EXPECT_TRUE(Eval("2").value.isNumber);
  EXPECT_FALSE(Eval("\"2\"").value.isNumber);
  EXPECT_FALSE(Eval("1 & 2").value.isNumber);
}

TEST_F(CalcSyntaxTest, ParenthesesGroupAndNestDeeplyUpToALimit) {
  const std::string deep = std::string(150, '(') + "\"deep\"" + std::string(150, ')');
  EXPECT_EQ("deep", Text(deep));
  std::string nestedCalls = "\"1\"";
  for (int i = 0; i < 195; ++i) {
    nestedCalls = "PatternCount ( " + nestedCalls + " & \"\" ; \"1\" )";
  }
  EXPECT_EQ("1", Text(nestedCalls));
  // Beyond the limit nesting is an error, not a crash.
  const std::string tooDeep = std::string(100000, '(') + "1" + std::string(100000, ')');
  EXPECT_EQ(kCalcErrorSyntax, Error(tooDeep));
  std::string calls;
  for (int i = 0; i < 5000; ++i)
    calls += "Char(";
  calls += "65" + std::string(5000, ')');
  EXPECT_EQ(kCalcErrorSyntax, Error(calls));
}

TEST_F(CalcSyntaxTest, MalformedExpressionsAreSyntaxErrors) {
  // One expression per '|'.
  std::istringstream malformed(
      "|   |\"not closed|\"ends in an escaped quote\\\"|/* not closed|\"a\" &|& \"a\"|"
      "\"a\" \"b\"|(\"a\"|\"a\")|Char ( 65|Char ( 65 ; )|Char ( ; 65 )|"
      "PatternCount ( \"a\" ;; \"a\" )|Get ( )|Get ( \"FileName\" )|Get FileName|1.2.3|"
      "12abc|$|$x ( 1 )|Table::Field|\"a\" = \"b\"|#|Let ( [ x = 1 ] x )|"
      "Let ( [ x 1 ] ; x )|Let ( [ x = 1 ; ] ; x )");
  for (std::string expression; std::getline(malformed, expression, '|');)
    EXPECT_EQ(kCalcErrorSyntax, Error(expression)) << expression;
}

} // namespace
} // namespace fmhost
