// Tests that ask the host stand-in: a solution written as JSON in the test, evaluators bound to
// its files, and what the bridge tells the report, as a registered plug-in would have it.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "fmwrapper/fmhost_api.h"
#include "hostapi/evaluation.h"
#include "schema/context_report.h"

namespace tideloom {

class HostSolutionTest : public ::testing::Test {
protected:
  void SetUp() override {
    fmhost::ResetHost();
    liveObjectsBefore_ = fmhost::LiveHostObjects();
  }
  void TearDown() override {
    for (HostExprEnv* environment : environments_)
      fmhost::DeleteEnvironment(environment);
    // Every host text and value the plug-in made on the way was deleted again.
    EXPECT_EQ(fmhost::LiveHostObjects(), liveObjectsBefore_);
  }

  static void Load(std::string_view solutionJson) {
    fmhost::UseSolution(fmhost::ParseSolution(std::string(solutionJson)));
  }
  // Evaluation in `fileName`'s context; its environment is deleted when the test ends.
  Evaluator In(const std::string& fileName) {
    return EvaluatorIn(environments_.emplace_back(fmhost::NewEnvironmentFor(fileName)));
  }
  // Evaluation outside any context: every expression reads as empty.
  static Evaluator NoContext() { return EvaluatorIn(nullptr); }

  BridgeReportView bridge;

private:
  std::vector<HostExprEnv*> environments_;
  std::size_t liveObjectsBefore_ = 0;
};

} // namespace tideloom
