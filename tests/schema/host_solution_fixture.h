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
  void SetUp() override;
  void TearDown() override;

  static void Load(std::string_view solutionJson);
  // Evaluation in `fileName`'s context; its environment is deleted when the test ends.
  Evaluator In(const std::string& fileName);
  // Evaluation outside any context: every expression reads as empty.
  static Evaluator NoContext() { return EvaluatorIn(nullptr); }

  BridgeReportView bridge;

private:
  std::vector<HostExprEnv*> environments_;
  std::size_t liveObjectsBefore_ = 0;
};

} // namespace tideloom
