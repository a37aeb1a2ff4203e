// Asking the host stand-in to evaluate, as the plug-in does from functions and idle time.
#include "fmhost_api.h"
#include "plugin/evaluation.h"
#include "plugin/host_call_dispatch.h"
#include "plugin_test_support.h"

namespace {

class EvaluationTest : public ::testing::Test {
protected:
  void SetUp() override {
    fmhost::ResetHost();
    fmhost::UseSolution(plugin_test::SmallSolution());
  }
  void TearDown() override {
    currentHostCall = nullptr;
    EXPECT_EQ(fmhost::LiveHostObjects(), 0u);
  }
};

TEST_F(EvaluationTest, AnEnvironmentEvaluatesInItsFile) {
  HostExprEnv* contacts = fmhost::NewEnvironmentFor("Contacts");
  EXPECT_EQ(EvaluateToText(contacts, "Get ( FileName )"), "Contacts");
  EXPECT_EQ(EvaluateToText(contacts, "40 & 2"), "402");
  EXPECT_EQ(EvaluateToText(contacts, "\"caf\xC3\xA9 \" & Char ( 128512 )"),
            "caf\xC3\xA9 \xF0\x9F\x98\x80");
  fmhost::DeleteEnvironment(contacts);
}

TEST_F(EvaluationTest, EvaluationErrorsReadAsEmptyText) {
  HostExprEnv* sales = fmhost::NewEnvironmentFor("Sales");
  EXPECT_EQ(EvaluateToText(sales, "\"unclosed"), "");
  EXPECT_EQ(EvaluateToText(sales, "NoSuchFunction ( 1 )"), "");
  EXPECT_EQ(EvaluateToText(sales, "TableNames ( \"Not Open\" )"), "");
  fmhost::DeleteEnvironment(sales);
}

TEST_F(EvaluationTest, WithoutAnEnvironmentTheHostIsNotAsked) {
  const size_t before = fmhost::LibraryCalls().size();
  EXPECT_EQ(EvaluateToText(nullptr, "Get ( FileName )"), "");
  EXPECT_EQ(fmhost::LibraryCalls().size(), before);
}

TEST_F(EvaluationTest, TheCurrentContextIsTheActiveFileThroughTheHostsCallback) {
  HostCallRecord record = fmhost::MakeCallRecord(1);
  currentHostCall = &record;
  {
    HostEnvironmentObject environment = CurrentContextEnvironment();
    EXPECT_EQ(EvaluateToText(environment.get(), "Get ( FileName )"), "Sales");
  }
  ASSERT_TRUE(fmhost::SetActiveFile("Contacts"));
  HostEnvironmentObject environment = CurrentContextEnvironment();
  EXPECT_EQ(EvaluateToText(environment.get(), "Get ( FileName )"), "Contacts");
}

} // namespace
