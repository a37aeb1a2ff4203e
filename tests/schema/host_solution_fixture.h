// Tests that ask the host stand-in: a solution written as JSON in the test, environments bound to
// its files, and the bridge's fields set as a registered plug-in would have them.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "fmwrapper/fmhost_api.h"

class HostSolutionTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  static void Load(std::string_view solutionJson);
  // An environment in `fileName`'s context, deleted when the test ends.
  HostExprEnv* EnvironmentIn(const std::string& fileName);
  static void SetRegisteredFile(const std::string& fileName);

private:
  std::vector<HostExprEnv*> environments_;
  std::size_t liveObjectsBefore_ = 0;
};
