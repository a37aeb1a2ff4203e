// A calculation engine over the example solution, with a switchboard for external functions.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "embedded_solutions.inc"
#include "engine/calc_engine.h"

namespace fmhost {

class EngineTest : public ::testing::Test {
protected:
  explicit EngineTest(const char* solutionJson = kDemoSolutionJson)
      : solution(std::make_shared<Solution>(ParseSolution(solutionJson))),
        engine(solution,
               [this](const std::string& name, const std::vector<CalcValue>& args,
                      const CalcContext& context) -> std::optional<CalcResult> {
                 if (!external) return std::nullopt;
                 return external(name, args, context);
               }) {}

  CalcResult Eval(std::string_view expression, const std::string& file = "") {
    return engine.Evaluate(expression, CalcContext{file, &variables});
  }

  // The text of an expression that must succeed.
  std::string Text(std::string_view expression, const std::string& file = "") {
    const CalcResult result = Eval(expression, file);
    EXPECT_EQ(0, result.error) << expression;
    return result.value.text;
  }

  // The error of an expression that must fail; a failure has no value.
  int Error(std::string_view expression, const std::string& file = "") {
    const CalcResult result = Eval(expression, file);
    EXPECT_NE(0, result.error) << expression;
    EXPECT_EQ("", result.value.text) << expression;
    return result.error;
  }

  // One expression evaluated in `file` and its text, or its error when `error` is not 0.
  struct Case {
    const char* expression;
    std::string text;
    int error = 0;
    std::string file = "";
  };
  void ExpectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
      if (c.error != 0)
        EXPECT_EQ(c.error, Error(c.expression, c.file)) << c.expression;
      else
        EXPECT_EQ(c.text, Text(c.expression, c.file)) << c.expression;
    }
  }

  std::shared_ptr<Solution> solution;
  ExternalFunctionLookup external;
  CalcVariables variables;
  CalcEngine engine;
};

} // namespace fmhost
