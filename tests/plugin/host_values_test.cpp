// The crossing between host values and UTF-8, linked in directly and run against the host
// stand-in's values.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fmhost_api.h"
#include "hostapi/host_objects.h"
#include "hostapi/host_values.h"
#include "plugin/function_registry.h"

namespace tideloom {

namespace {

class HostValuesTest : public ::testing::Test {
protected:
  void SetUp() override { fmhost::ResetHost(); }
  void TearDown() override {
    fmhost::ClearInjectedFailures();
    EXPECT_EQ(fmhost::LiveHostObjects(), 0u);
  }
};

size_t CallsNamed(const std::string& name) {
  const std::vector<std::string> calls = fmhost::LibraryCalls();
  return static_cast<size_t>(std::count(calls.begin(), calls.end(), name));
}

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
  EXPECT_EQ(ParameterCount(parameters), 5u);
  EXPECT_EQ(GetParameterText(parameters, 4),
            std::string(65535, 'a') + "\xF0\x9F\x98\x80" + std::string(70000, 'b'));
  EXPECT_EQ(GetParameterText(parameters, 0), "plain");
  EXPECT_EQ(GetParameterText(parameters, 1), "caf\xC3\xA9 \xF0\x9F\x98\x80");
  // A zero unit ends the text, as the host's bytes are read up to the first zero.
  EXPECT_EQ(GetParameterText(parameters, 3), "a");
  // Missing and empty parameters cannot be told apart, and neither asks the host for bytes.
  const size_t copiesBefore = CallsNamed("FM_Text_GetBytes");
  EXPECT_EQ(GetParameterText(parameters, 2), "");
  EXPECT_EQ(GetParameterText(parameters, 5), "");
  EXPECT_EQ(GetParameterText(parameters, 4000000000u), "");
  EXPECT_EQ(CallsNamed("FM_Text_GetBytes"), copiesBefore);
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

TEST_F(HostValuesTest, AHostFailureIsRaisedWithItsCode) {
  HostData* result = fmhost::NewResult();
  ASSERT_TRUE(fmhost::InjectFailure("FM_Text_Assign", 1));
  try {
    SetResultText("x", result);
    ADD_FAILURE() << "no exception";
  } catch (const HostFailure& failure) {
    EXPECT_EQ(failure.code, 1);
  }
  ASSERT_TRUE(fmhost::InjectFailure("FM_DataVect_Size", 2));
  HostDataVect* parameters = fmhost::NewParameters({"a"});
  EXPECT_THROW(GetParameterText(parameters, 0), HostFailure);
  fmhost::DeleteParameters(parameters);
  fmhost::DeleteResult(result);
}

TEST_F(HostValuesTest, TheTrampolineAnswersZeroEvenWhenTheHostFailsTwice) {
  HostData* result = fmhost::NewResult();
  HostDataVect* parameters = fmhost::NewParameters({});
  ASSERT_TRUE(fmhost::InjectFailure("FM_Text_Assign", 2, 2));
  EXPECT_EQ(CalculationTrampoline(100, nullptr, parameters, result), 0);
  EXPECT_EQ(fmhost::ResultText(result), "");

  EXPECT_EQ(CalculationTrampoline(100, nullptr, parameters, result), 0);
  EXPECT_EQ(fmhost::ResultText(result), "1.6.18");
  // An ID the table does not know answers empty text.
  EXPECT_EQ(CalculationTrampoline(99, nullptr, parameters, result), 0);
  EXPECT_EQ(fmhost::ResultText(result), "");
  fmhost::DeleteParameters(parameters);
  fmhost::DeleteResult(result);
}

} // namespace

} // namespace tideloom
