#include "host_solution_fixture.h"

namespace tideloom {

void HostSolutionTest::SetUp() {
  fmhost::ResetHost();
  liveObjectsBefore_ = fmhost::LiveHostObjects();
}

void HostSolutionTest::TearDown() {
  for (HostExprEnv* environment : environments_)
    fmhost::DeleteEnvironment(environment);
  environments_.clear();
  // Every host text and value the plug-in made on the way was deleted again.
  EXPECT_EQ(fmhost::LiveHostObjects(), liveObjectsBefore_);
}

void HostSolutionTest::Load(std::string_view solutionJson) {
  fmhost::UseSolution(fmhost::ParseSolution(std::string(solutionJson)));
}

Evaluator HostSolutionTest::In(const std::string& fileName) {
  HostExprEnv* environment = fmhost::NewEnvironmentFor(fileName);
  environments_.push_back(environment);
  return EvaluatorIn(environment);
}

} // namespace tideloom
