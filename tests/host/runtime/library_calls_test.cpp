// The library calls as a plug-in makes them: texts, values, handles, failures.
#include <gtest/gtest.h>

#include <cstring>

#include "host_text.h"
#include "runtime_test_support.h"

namespace {

using namespace host_text;

class LibraryCallsTest : public ::testing::Test {
protected:
  void SetUp() override { fmhost::ResetHost(); }
  void TearDown() override {
    EXPECT_EQ(fmhost::LiveHostObjects(), 0u) << "a test leaked a host object";
    fmhost::ResetHost();
  }
};

TEST_F(LibraryCallsTest, TextsAreUtf16AndEachIllFormedUtf8SequenceIsOneReplacementCharacter) {
  const struct {
    const char* bytes;
    std::u16string units;
  } cases[] = {
      {"a\xC3\xA9\xF0\x9F\x98\x80", u"a\u00E9\xD83D\xDE00"}, // a pair outside the basic plane
      {"a\xC3", u"a\xFFFD"},                                 // cut short at the end
      {"\xE2\x82z", u"\xFFFDz"},                             // one subpart of a three-byte form
      {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},               // an encoded surrogate
      {"\xC0\xAF", u"\xFFFD\xFFFD"}, // overlong: no lead, then a lone trailing byte
      {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"}, // past U+10FFFF
  };
  for (const auto& sample : cases) {
    EXPECT_EQ(Units(OwnedText(sample.bytes).text), sample.units)
        << "input " << ::testing::PrintToString(sample.bytes);
  }
}

TEST_F(LibraryCallsTest, GetBytesWritesWholeCharactersAndNeverPastTheBuffer) {
  OwnedText text("a\xF0\x9F\x98\x80"
                 "b"); // units: a, pair, b
  const auto bytes = [&](uint32_t bufferSize, uint32_t position, uint32_t count) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    FM_Text_GetBytes(text.text, buffer, bufferSize, position, count, 1, Fresh());
    EXPECT_EQ(lastError.code, 0);
    return std::string(buffer, sizeof buffer);
  };
  EXPECT_EQ(bytes(16, 0, 4), "a\xF0\x9F\x98\x80"
                             "b##########");
  EXPECT_EQ(bytes(3, 0, 4), "a###############"); // the pair needs four bytes: not begun
  EXPECT_EQ(bytes(5, 0, 4), "a\xF0\x9F\x98\x80###########");
  EXPECT_EQ(bytes(16, 1, 2), "\xF0\x9F\x98\x80############");
  EXPECT_EQ(bytes(16, 0, 2), "a\xEF\xBF\xBD############"); // half a pair
  EXPECT_EQ(bytes(0, 0, 4), "################");

  // Reading past the end fails and writes nothing, as does asking for another encoding.
  uint16_t units[8] = {};
  FM_Text_GetUnicode(text.text, units, 3, 2, Fresh());
  EXPECT_EQ(lastError.code, 2);
  EXPECT_EQ(units[0], 0);
  char out[8] = {};
  FM_Text_GetBytes(text.text, out, sizeof out, 5, 0, 1, Fresh());
  EXPECT_EQ(lastError.code, 2);
  FM_Text_GetBytes(text.text, out, sizeof out, 0, 3, 2, Fresh()); // not UTF-8
  EXPECT_EQ(lastError.code, 2);
  EXPECT_EQ(out[0], 0);
}

// How many calls an injected failure lasts shows in fmhost's --fail test.
TEST_F(LibraryCallsTest, AnInjectedFailureReportsItsCodeAndCallsWithACodeNeverReportSuccess) {
  ASSERT_TRUE(fmhost::InjectFailure("FM_Data_Constructor1", 2));
  EXPECT_EQ(FM_Data_Constructor1(Fresh()), nullptr);
  EXPECT_EQ(lastError.code, 2);
  EXPECT_FALSE(fmhost::InjectFailure("FM_Text_Nothing", 1));
  EXPECT_FALSE(fmhost::InjectFailure("FM_Text_Assign", 0));
  EXPECT_FALSE(fmhost::InjectFailure("FM_Text_Assign", 1, 0));

  OwnedText expression("1");
  HostExprEnv* environment = fmhost::NewEnvironmentFor("Main.fmp12");
  HostData* result = fmhost::NewResult();
  fmhost::InjectFailure("FM_ExprEnv_Evaluate", 2);
  EXPECT_NE(FM_ExprEnv_Evaluate(environment, expression.text, result, Fresh()), 0);
  EXPECT_EQ(lastError.code, 2);
  fmhost::DeleteResult(result);
  fmhost::DeleteEnvironment(environment);
}

TEST_F(LibraryCallsTest, BadErrorRecordsAndHandlesThePluginDoesNotOwnOrThatAreGoneAreRefused) {
  HostError wrongVersion{2, 0};
  EXPECT_EQ(FM_Text_Constructor1(&wrongVersion), nullptr);
  EXPECT_EQ(wrongVersion.code, 2);
  HostError leftOver{1, 1};
  EXPECT_EQ(FM_Text_Constructor1(&leftOver), nullptr);
  EXPECT_EQ(leftOver.code, 2);

  HostData* data = FM_Data_Constructor1(Fresh());
  const HostText* owned = FM_Data_GetAsText(data, Fresh());
  ASSERT_EQ(lastError.code, 0);
  FM_Text_Delete(const_cast<HostText*>(owned), Fresh()); // belongs to the value
  EXPECT_EQ(lastError.code, 2);
  EXPECT_EQ(FM_Text_GetSize(owned, Fresh()), 0u);
  EXPECT_EQ(lastError.code, 0) << "the value's text must still be alive";
  FM_Data_Delete(data, Fresh());
  OwnedText text("");
  FM_Text_Assign(text.text, nullptr, 1, Fresh());
  EXPECT_EQ(lastError.code, 2);
}

TEST_F(LibraryCallsTest, ParameterVectorsHandOutTheirValuesWithTheHostLocale) {
  HostDataVect* parameters = fmhost::NewParametersUtf16({u"a\xD800", u""});
  ASSERT_EQ(FM_DataVect_Size(parameters, Fresh()), 2u);
  const HostText* text = FM_Data_GetAsText(FM_DataVect_At(parameters, 0, &lastError), &lastError);
  EXPECT_EQ(FM_DataVect_At(parameters, 2, &lastError), nullptr);
  EXPECT_EQ(lastError.code, 2);

  // A value set with another value's locale takes that locale.
  HostData* result = fmhost::NewResult();
  HostData* plain = FM_Data_Constructor1(Fresh());
  EXPECT_EQ(fmhost::ResultLocale(plain), "");
  const HostLocale* locale = FM_Data_GetLocale(result, &lastError);
  FM_Data_SetAsText(plain, text, locale, 1, &lastError);
  EXPECT_EQ(lastError.code, 0);
  EXPECT_EQ(fmhost::ResultLocale(plain), fmhost::kHostLocaleName);
  EXPECT_EQ(fmhost::ResultUnits(plain), std::u16string(u"a\xD800"));
  EXPECT_EQ(fmhost::ResultText(plain), "a\xEF\xBF\xBD");
  FM_Data_Delete(plain, &lastError);
  fmhost::DeleteResult(result);
  fmhost::DeleteParameters(parameters);
}

int16_t Nothing(int16_t, const HostExprEnv*, const HostDataVect*, HostData*) { return 0; }

TEST_F(LibraryCallsTest, RegisteringAnIdAgainReplacesItInPlaceAndUnregisteringIsLogged) {
  HostQuadChar* id = FM_QuadChar_Constructor2('T', 'e', 's', 't', Fresh());
  const auto add = [&](int16_t functionId, const char* name) {
    OwnedText text(name);
    return FM_ExprEnv_RegisterExternalFunctionEx(id, functionId, text.text, text.text, text.text, 0,
                                                 1, 7, Nothing, Fresh());
  };
  EXPECT_EQ(add(1, "First"), 0);
  EXPECT_EQ(add(2, "Second"), 0);
  EXPECT_EQ(add(1, "First again"), 0);
  std::vector<fmhost::RegisteredFunction> functions = fmhost::RegisteredFunctions();
  ASSERT_EQ(functions.size(), 2u);
  EXPECT_EQ(functions[0].name, "First again");
  EXPECT_EQ(functions[1].name, "Second");

  FM_ExprEnv_UnRegisterExternalFunction(id, 1, Fresh());
  FM_ExprEnv_UnRegisterExternalFunction(id, 9, &lastError);
  EXPECT_EQ(lastError.code, 0);
  EXPECT_EQ(fmhost::UnregisteredIds(), (std::vector<int16_t>{1, 9}));
  ASSERT_EQ(fmhost::RegisteredFunctions().size(), 1u);
  EXPECT_EQ(fmhost::RegisteredFunctions()[0].id, 2);
  FM_QuadChar_Delete(id, Fresh());
}

// fmhost always shuts a plug-in down first; FileMaker may unload one that is still started.
TEST_F(LibraryCallsTest, AStartRecordsItsControlAndUnloadingAStartedPluginDropsItsFunctions) {
  fmhost::UseSolution(fmhost::ParseSolution(fmhost_test::kSolutionJson));
  std::string why;
  std::unique_ptr<fmhost::Plugin> plugin =
      fmhost::Plugin::Load(fmhost_test::FakePluginPath(), &why);
  ASSERT_TRUE(plugin) << why;
  ASSERT_EQ(plugin->Startup(), 76);
  EXPECT_EQ(fmhost::Evaluate("Fake.StartScript ( \"Save\" )").value.text, "0");
  plugin.reset();
  EXPECT_TRUE(fmhost::RegisteredFunctions().empty());
  EXPECT_EQ(fmhost::Evaluate("Fake.Echo ( 1 )").error, 1202);
  ASSERT_EQ(fmhost::StartedScripts().size(), 1u);
  EXPECT_EQ(fmhost::StartedScripts()[0].control, 2);
}

} // namespace
