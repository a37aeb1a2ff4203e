// The crossing between host values and UTF-8, and the trampoline every calculation function goes
// through, linked in directly and run against the host stand-in's values and a test clipboard.
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "clipboard_fixture.h"
#include "fmhost_api.h"
#include "hostapi/host_values.h"
#include "plugin/function_registry.h"

namespace tideloom {

namespace {

class HostValuesTest : public ClipboardTest {
protected:
  void SetUp() override {
    fmhost::ResetHost(); // whatever an earlier test in this process left, shutdown included
    ClipboardTest::SetUp();
  }
  void TearDown() override {
    ClipboardTest::TearDown();
    fmhost::ClearInjectedFailures();
    EXPECT_EQ(fmhost::LiveHostObjects(), 0u);
  }

  // Function `id` called as the host calls it.
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

TEST_F(HostValuesTest, ParametersArriveAsUtf8WhateverTheirCharacters) {
  HostDataVect* parameters = fmhost::NewParametersUtf16({
      u"plain",
      u"caf\u00e9 \U0001F600", // two units for the emoji, four bytes out
      u"",
      std::u16string(u"a\0b", 3),
      // Read in slices of 65536 units: the pair straddles the first boundary, the zero ends the
      // text a slice before its end.
      std::u16string(65535, u'a') + u"\U0001F600" + std::u16string(70000, u'b') + u'\0' +
          std::u16string(70000, u'c'),
  });
  EXPECT_EQ(GetParameterText(parameters, 4),
            std::string(65535, 'a') + "\xF0\x9F\x98\x80" + std::string(70000, 'b'));
  EXPECT_EQ(GetParameterText(parameters, 1), "caf\xC3\xA9 \xF0\x9F\x98\x80");
  // A zero unit ends the text, as the host's bytes are read up to the first zero.
  EXPECT_EQ(GetParameterText(parameters, 3), "a");
  // Missing and empty parameters cannot be told apart, and neither asks the host for bytes.
  const auto copiesBefore = std::ranges::count(fmhost::LibraryCalls(), "FM_Text_GetBytes");
  EXPECT_EQ(GetParameterText(parameters, 2), "");
  EXPECT_EQ(GetParameterText(parameters, 5), "");
  EXPECT_EQ(GetParameterText(parameters, 4000000000u), "");
  EXPECT_EQ(std::ranges::count(fmhost::LibraryCalls(), "FM_Text_GetBytes"), copiesBefore);
  fmhost::DeleteParameters(parameters);
}

TEST_F(HostValuesTest, ResultsKeepTheirLocaleAndEndAtAZeroByte) {
  HostData* result = fmhost::NewResult();
  const std::string locale = fmhost::ResultLocale(result);

  SetResultText("\xF0\x9F\x98\x80 ok", result);
  EXPECT_EQ(fmhost::ResultUnits(result), u"\U0001F600 ok");
  EXPECT_EQ(fmhost::ResultLocale(result), locale);

  SetResultText(std::string("before\0after", 12), result);
  EXPECT_EQ(fmhost::ResultText(result), "before");

  SetResultText("", result);
  EXPECT_EQ(fmhost::ResultText(result), "");
  fmhost::DeleteResult(result);
}

TEST_F(HostValuesTest, TheTrampolineRunsTheFunctionOfItsIdWithTheParametersGiven) {
  const std::string steps =
      "<fmxmlsnippet type=\"FMObjectList\"><Step enable=\"True\" id=\"89\" name=\"# (comment)\">"
      "<Text>caf\xC3\xA9 \xF0\x9F\x98\x80</Text></Step></fmxmlsnippet>";
  const std::tuple<int16_t, std::vector<std::string>, std::string> calls[] = {
      {100, {}, "1.6.18"},
      {99, {}, ""}, // an ID the table does not know
      {101, {"XMSS", steps}, "OK"},
      {102, {"AUTO"}, steps},
      {113, {"\xF0\x9F\x98\x80 text"}, "OK"},
      {112, {}, "\xF0\x9F\x98\x80 text"},
      {113, {steps}, "OK"},
      // An empty parameter is no type; a missing one lets the type be found in the XML.
      {116, {""}, "ERROR: xmlType is empty."},
      {116, {}, "OK: XMSS"},
  };
  for (const auto& [id, parameters, expected] : calls)
    EXPECT_EQ(Call(id, parameters), expected) << id;
  EXPECT_TRUE(Call(115, {}).starts_with(std::to_string(FormatId("Mac-XMSS")) + "\tMac-XMSS\n"));

  ASSERT_TRUE(fmhost::InjectFailure("FM_DataVect_Size", 2));
  EXPECT_EQ(Call(100, {}), "ERROR: the host reported a failure.");
  ASSERT_TRUE(fmhost::InjectFailure("FM_Text_Assign", 2, 2));
  EXPECT_EQ(Call(100, {}), "") << "the host cannot even take the message";
  EXPECT_EQ(Call(100, {}), "1.6.18");
}

} // namespace

} // namespace tideloom
