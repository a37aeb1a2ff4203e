// How expressions are read: literals and their escapes, blanks, comments, nesting, errors.
#include <string>

#include "engine_fixture.h"

namespace fmhost {
namespace {

using CalcSyntaxTest = EngineTest;

TEST_F(CalcSyntaxTest, TextLiteralsUnescapeQuoteBackslashAndPilcrow) {
  struct Case {
    const char* expression;
    std::string expected;
  };
  const Case cases[] = {
      {R"("plain")", "plain"},
      {R"("")", ""},
      {R"("say \"hi\"")", "say \"hi\""},
      {R"("back\\slash")", "back\\slash"},
      {"\"a\xC2\xB6"
       "b\"",
       "a\rb"}, // a pilcrow inside text is a return
      {"\"a\\\xC2\xB6"
       "b\"",
       "a\xC2\xB6"
       "b"},                             // an escaped pilcrow stays a pilcrow
      {R"("C:\temp\n")", "C:\\temp\\n"}, // other backslashes are kept
      {R"("\\\"")", "\\\""},
      {"\"line\nbreak\"", "line\nbreak"},
      {"\"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\x8A\"",
       "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\x8A"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, Text(c.expression)) << c.expression;
}

TEST_F(CalcSyntaxTest, NumbersTakeFileMakersTextForm) {
  EXPECT_EQ("42", Text("42"));
  EXPECT_EQ("7", Text("007"));
  EXPECT_EQ("1.5", Text("1.50"));
  EXPECT_EQ("0.5", Text(".5"));
  EXPECT_EQ("3", Text("3."));
  EXPECT_EQ("0", Text("0.000"));
  EXPECT_EQ("12345678901234567890.25", Text("12345678901234567890.250"));
  EXPECT_TRUE(Eval("2").value.isNumber);
  EXPECT_FALSE(Eval("\"2\"").value.isNumber);
}

TEST_F(CalcSyntaxTest, AmpersandJoinsTextAndNumbers) {
  EXPECT_EQ("ab1.5c", Text(R"("a" & "b" & 1.50 & "c")"));
  EXPECT_EQ("a\rb", Text("\"a\" & \xC2\xB6 & \"b\"")); // a lone pilcrow is a return
  EXPECT_FALSE(Eval("1 & 2").value.isNumber);
}

TEST_F(CalcSyntaxTest, BlanksLineBreaksAndCommentsAreSkipped) {
  EXPECT_EQ("Sales", Text(" \t\r\n Get \r\n( \t FileName\n ) \r\n"));
  EXPECT_EQ("ab", Text("\"a\" // to the end of the line\r& \"b\""));
  EXPECT_EQ("ab", Text("\"a\" // to the end of the line\n& \"b\" // and at the end"));
  EXPECT_EQ("ab", Text("/* before */ \"a\" /* between \"quotes\" ; ( */ & \"b\" /**/"));
  EXPECT_EQ("/* kept */", Text(R"("/* kept */")"));
}

TEST_F(CalcSyntaxTest, ParenthesesGroupAndNestDeeply) {
  EXPECT_EQ("x", Text(R"((("x")))"));
  const std::string deep = std::string(150, '(') + "\"deep\"" + std::string(150, ')');
  EXPECT_EQ("deep", Text(deep));
  std::string nestedCalls = "\"1\"";
  for (int i = 0; i < 195; ++i) {
    nestedCalls = "PatternCount ( " + nestedCalls + " & \"\" ; \"1\" )";
  }
  EXPECT_EQ("1", Text(nestedCalls));
}

TEST_F(CalcSyntaxTest, NestingBeyondTheLimitIsAnErrorNotACrash) {
  const std::string tooDeep = std::string(100000, '(') + "1" + std::string(100000, ')');
  EXPECT_EQ(kCalcErrorSyntax, Error(tooDeep));
  std::string calls;
  for (int i = 0; i < 5000; ++i)
    calls += "Char(";
  calls += "65" + std::string(5000, ')');
  EXPECT_EQ(kCalcErrorSyntax, Error(calls));
}

TEST_F(CalcSyntaxTest, MalformedExpressionsAreSyntaxErrors) {
  const char* const malformed[] = {"",
                                   "   ",
                                   "\"not closed",
                                   R"("ends in an escaped quote\")",
                                   "/* not closed",
                                   "\"a\" &",
                                   "& \"a\"",
                                   "\"a\" \"b\"",
                                   "(\"a\"",
                                   "\"a\")",
                                   "Char ( 65",
                                   "Char ( 65 ; )",
                                   "Char ( ; 65 )",
                                   "PatternCount ( \"a\" ;; \"a\" )",
                                   "Get ( )",
                                   "Get ( \"FileName\" )",
                                   "Get FileName",
                                   "1.2.3",
                                   "12abc",
                                   "$",
                                   "$x ( 1 )",
                                   "Table::Field",
                                   "\"a\" = \"b\"",
                                   "#",
                                   "Let ( [ x = 1 ] x )",
                                   "Let ( [ x 1 ] ; x )",
                                   "Let ( [ x = 1 ; ] ; x )"};
  for (const char* expression : malformed) {
    EXPECT_EQ(kCalcErrorSyntax, Error(expression)) << expression;
  }
}

} // namespace
} // namespace fmhost
