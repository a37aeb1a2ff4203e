// The clipboard functions as the host calls them: parameters and results cross as host values,
// through the registry's table and trampoline.
#include <string>
#include <vector>

#include "clipboard_fixture.h"
#include "fmhost_api.h"
#include "plugin/function_registry.h"

namespace tideloom {

namespace {

const std::string kSteps =
    "<fmxmlsnippet type=\"FMObjectList\"><Step enable=\"True\" id=\"89\" name=\"# (comment)\">"
    "<Text>caf\xC3\xA9 \xF0\x9F\x98\x80</Text></Step></fmxmlsnippet>";

class HostClipboardFunctionsTest : public ClipboardTest {
protected:
  void SetUp() override {
    fmhost::ResetHost(); // whatever an earlier test in this process left, shutdown included
    ClipboardTest::SetUp();
  }
  void TearDown() override {
    ClipboardTest::TearDown();
    EXPECT_EQ(fmhost::LiveHostObjects(), 0u);
  }

  static std::string Call(int16_t id, const std::vector<std::string>& parameters) {
    HostDataVect* values = fmhost::NewParameters(parameters);
    HostData* result = fmhost::NewResult();
    EXPECT_EQ(CalculationTrampoline(id, nullptr, values, result), 0);
    std::string text = fmhost::ResultText(result);
    fmhost::DeleteResult(result);
    fmhost::DeleteParameters(values);
    return text;
  }
};

constexpr int16_t kSetXml = 101, kGetXml = 102, kGetText = 112, kSetText = 113, kFormats = 115,
                  kPrepareXml = 116;

TEST_F(HostClipboardFunctionsTest, StepsWrittenByTheHostAreListedAndProbedBack) {
  EXPECT_EQ(Call(kSetXml, {"XMSS", kSteps}), "OK");
  const std::string expected = std::to_string(FormatId("Mac-XMSS")) + "\tMac-XMSS\n";
  EXPECT_EQ(Call(kFormats, {}).substr(0, expected.size()), expected);
  EXPECT_EQ(Call(kGetXml, {"AUTO"}), kSteps);
  EXPECT_EQ(Call(kGetXml, {"XMSS"}), kSteps);
  EXPECT_EQ(Call(kGetText, {}), kSteps);
  EXPECT_EQ(Call(kSetText, {"\xF0\x9F\x98\x80 text"}), "OK");
  EXPECT_EQ(Call(kGetText, {}), "\xF0\x9F\x98\x80 text");
}

TEST_F(HostClipboardFunctionsTest,
       ParametersReachTheChecksAndPrepareTellsAnEmptyParameterFromNone) {
  PutText(kSteps);
  EXPECT_EQ(Call(kSetXml, {"", ""}), "ERROR: xmlType is empty.");
  EXPECT_EQ(Call(kSetXml, {"XMSS", ""}), "ERROR: xmlContent is empty.");
  EXPECT_EQ(Call(kPrepareXml, {""}), "ERROR: xmlType is empty.");
  EXPECT_EQ(Call(kPrepareXml, {"XMSC"}), "OK: XMSC");
  EXPECT_TRUE(BlockHolds("Win-Script", kSteps));
  EXPECT_EQ(Call(kPrepareXml, {}), "OK: XMSS");
  EXPECT_TRUE(BlockHolds("ScriptStep", kSteps));
}

} // namespace

} // namespace tideloom
