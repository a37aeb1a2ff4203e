// Asking the host stand-in to evaluate, as the plug-in does from functions and idle time. What
// evaluation answers in a file, errors included, shows in the schema tests.
#include "fmhost_api.h"
#include "hostapi/evaluation.h"
#include "plugin_test_support.h"

namespace tideloom {

namespace {

class EvaluationTest : public ::testing::Test {
protected:
  void SetUp() override {
    fmhost::ResetHost();
    fmhost::UseSolution(plugin_test::SmallSolution());
  }
  void TearDown() override { EXPECT_EQ(fmhost::LiveHostObjects(), 0u); }
};

TEST_F(EvaluationTest, WithoutAnEnvironmentTheHostIsNotAsked) {
  const size_t before = fmhost::LibraryCalls().size();
  EXPECT_EQ(EvaluateToText(nullptr, "Get ( FileName )"), "");
  EXPECT_EQ(fmhost::LibraryCalls().size(), before);
}

TEST_F(EvaluationTest, TheCurrentContextIsTheActiveFileThroughTheHostsCallback) {
  const HostCallRecord record = fmhost::MakeCallRecord(1);
  {
    HostEnvironmentObject environment = CurrentContextEnvironment(record);
    EXPECT_EQ(EvaluateToText(environment.get(), "Get ( FileName )"), "Sales");
  }
  ASSERT_TRUE(fmhost::SetActiveFile("Contacts"));
  HostEnvironmentObject environment = CurrentContextEnvironment(record);
  EXPECT_EQ(EvaluatorIn(environment.get())("Get ( FileName )"), "Contacts");
}

} // namespace

} // namespace tideloom
