#include "host_solution_fixture.h"

#include <mutex>

#include "bridge/bridge_state.h"

namespace {

void ResetBridgeFields() {
  std::lock_guard<std::mutex> lock(stateMutex());
  BridgeState& state = bridgeState();
  state.registered = false;
  state.baseUrl.clear();
  state.registeredFileName.clear();
  state.schemaTargetFile.clear();
  state.schemaWaiting = false;
}

} // namespace

void HostSolutionTest::SetUp() {
  fmhost::ResetHost();
  ResetBridgeFields();
  liveObjectsBefore_ = fmhost::LiveHostObjects();
}

void HostSolutionTest::TearDown() {
  for (HostExprEnv* environment : environments_)
    fmhost::DeleteEnvironment(environment);
  environments_.clear();
  // Every host text and value the plug-in made on the way was deleted again.
  EXPECT_EQ(fmhost::LiveHostObjects(), liveObjectsBefore_);
  ResetBridgeFields();
}

void HostSolutionTest::Load(std::string_view solutionJson) {
  fmhost::UseSolution(fmhost::ParseSolution(std::string(solutionJson)));
}

HostExprEnv* HostSolutionTest::EnvironmentIn(const std::string& fileName) {
  HostExprEnv* environment = fmhost::NewEnvironmentFor(fileName);
  environments_.push_back(environment);
  return environment;
}

void HostSolutionTest::SetRegisteredFile(const std::string& fileName) {
  std::lock_guard<std::mutex> lock(stateMutex());
  bridgeState().registeredFileName = fileName;
}
