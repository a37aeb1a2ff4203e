// The library calls as a plug-in makes them: texts, values, handles, failures.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime_test_support.h"

namespace {

HostError Fresh() { return HostError{1, 0}; }

// A text that the test owns through the library's own calls.
struct Text {
  Text() {
    HostError error = Fresh();
    text = FM_Text_Constructor1(&error);
  }
  explicit Text(const char* bytes) : Text() {
    HostError error = Fresh();
    FM_Text_Assign(text, bytes, 1, &error);
    EXPECT_EQ(error.code, 0);
  }
  ~Text() {
    HostError error = Fresh();
    FM_Text_Delete(text, &error);
  }
  std::u16string Units() const {
    HostError error = Fresh();
    std::u16string units(FM_Text_GetSize(text, &error), u'\0');
    FM_Text_GetUnicode(text, reinterpret_cast<uint16_t*>(units.data()), 0,
                       static_cast<uint32_t>(units.size()), &error);
    EXPECT_EQ(error.code, 0);
    return units;
  }
  HostText* text;
};

class LibraryCallsTest : public ::testing::Test {
protected:
  void SetUp() override { fmhost::ResetHost(); }
  void TearDown() override {
    EXPECT_EQ(fmhost::LiveHostObjects(), 0u) << "a test leaked a host object";
    fmhost::ResetHost();
  }
};

TEST_F(LibraryCallsTest, TextsAreStoredAsUtf16WithSurrogatePairsOutsideTheBasicPlane) {
  Text text("a\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(text.Units(), std::u16string(u"a\u00E9\xD83D\xDE00"));
}

TEST_F(LibraryCallsTest, EachIllFormedUtf8SequenceBecomesOneReplacementCharacter) {
  const struct {
    const char* bytes;
    std::u16string units;
  } cases[] = {
      {"\xFF", u"\xFFFD"},
      {"a\xC3", u"a\xFFFD"}, // cut short at the end
      {"\xE2\x82"
       "b",
       u"\xFFFD"
       u"b"},                                            // one subpart of a three-byte form
      {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},           // an encoded surrogate
      {"\xC0\xAF", u"\xFFFD\xFFFD"},                     // overlong
      {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"}, // past U+10FFFF
      {"\xF0\x9F\x98"
       "A",
       u"\xFFFD"
       u"A"},
      {"\x80\xBF", u"\xFFFD\xFFFD"}, // lone trailing bytes
  };
  for (const auto& sample : cases) {
    Text text(sample.bytes);
    EXPECT_EQ(text.Units(), sample.units) << "input " << ::testing::PrintToString(sample.bytes);
  }
}

TEST_F(LibraryCallsTest, GetBytesWritesWholeCharactersAndNeverPastTheBuffer) {
  Text text("a\xF0\x9F\x98\x80"
            "b"); // units: a, pair, b
  const auto bytes = [&](uint32_t bufferSize, uint32_t position, uint32_t count) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    HostError error = Fresh();
    FM_Text_GetBytes(text.text, buffer, bufferSize, position, count, 1, &error);
    EXPECT_EQ(error.code, 0);
    return std::string(buffer, sizeof buffer);
  };
  EXPECT_EQ(bytes(16, 0, 4), "a\xF0\x9F\x98\x80"
                             "b##########");
  EXPECT_EQ(bytes(3, 0, 4), "a###############"); // the pair needs four bytes: not begun
  EXPECT_EQ(bytes(5, 0, 4), "a\xF0\x9F\x98\x80###########");
  EXPECT_EQ(bytes(16, 1, 2), "\xF0\x9F\x98\x80############");
  EXPECT_EQ(bytes(16, 0, 2), "a\xEF\xBF\xBD############"); // half a pair
  EXPECT_EQ(bytes(0, 0, 4), "################");
}

TEST_F(LibraryCallsTest, ReadingPastTheEndOfATextFailsAndWritesNothing) {
  Text text("abc");
  uint16_t units[8] = {};
  HostError error = Fresh();
  FM_Text_GetUnicode(text.text, units, 2, 2, &error);
  EXPECT_EQ(error.code, 2);
  EXPECT_EQ(units[0], 0);
  char bytes[8] = {};
  error = Fresh();
  FM_Text_GetBytes(text.text, bytes, sizeof bytes, 4, 0, 1, &error);
  EXPECT_EQ(error.code, 2);
  error = Fresh();
  FM_Text_GetBytes(text.text, bytes, sizeof bytes, 0, 3, 2, &error); // not UTF-8
  EXPECT_EQ(error.code, 2);
  EXPECT_EQ(bytes[0], 0);
}

TEST_F(LibraryCallsTest, AnInjectedFailureReportsItsCodeForAsManyCallsAsAsked) {
  ASSERT_TRUE(fmhost::InjectFailure("FM_Text_Constructor1", 1, 2));
  ASSERT_TRUE(fmhost::InjectFailure("FM_Data_Constructor1", 2));
  for (int call = 0; call < 2; ++call) {
    HostError error = Fresh();
    EXPECT_EQ(FM_Text_Constructor1(&error), nullptr);
    EXPECT_EQ(error.code, 1);
  }
  HostError error = Fresh();
  EXPECT_EQ(FM_Data_Constructor1(&error), nullptr);
  EXPECT_EQ(error.code, 2);
  {
    Text third("x"); // the third call runs again
    EXPECT_NE(third.text, nullptr);
    EXPECT_EQ(third.Units(), u"x");
  }
  error = Fresh();
  HostData* data = FM_Data_Constructor1(&error);
  EXPECT_EQ(error.code, 0);
  FM_Data_Delete(data, &error);

  EXPECT_FALSE(fmhost::InjectFailure("FM_Text_Nothing", 1));
  EXPECT_FALSE(fmhost::InjectFailure("FM_Text_Assign", 0));
  EXPECT_FALSE(fmhost::InjectFailure("FM_Text_Assign", 1, 0));
}

TEST_F(LibraryCallsTest, CallsThatReturnAnErrorCodeNeverReportSuccessWhenTheyFail) {
  Text expression("1");
  HostExprEnv* environment = fmhost::NewEnvironmentFor("Main.fmp12");
  HostData* result = fmhost::NewResult();
  fmhost::InjectFailure("FM_ExprEnv_Evaluate", 2);
  HostError error = Fresh();
  EXPECT_NE(FM_ExprEnv_Evaluate(environment, expression.text, result, &error), 0);
  EXPECT_EQ(error.code, 2);
  fmhost::DeleteResult(result);
  fmhost::DeleteEnvironment(environment);
}

TEST_F(LibraryCallsTest, AnErrorRecordThatDoesNotComeInCleanIsRefused) {
  HostError wrongVersion{2, 0};
  EXPECT_EQ(FM_Text_Constructor1(&wrongVersion), nullptr);
  EXPECT_EQ(wrongVersion.code, 2);
  HostError leftOver{1, 1};
  EXPECT_EQ(FM_Text_Constructor1(&leftOver), nullptr);
  EXPECT_EQ(leftOver.code, 2);
}

TEST_F(LibraryCallsTest, HandlesThePluginDoesNotOwnOrThatAreGoneAreRefused) {
  HostError error = Fresh();
  HostData* data = FM_Data_Constructor1(&error);
  const HostText* owned = FM_Data_GetAsText(data, &error);
  ASSERT_EQ(error.code, 0);
  FM_Text_Delete(const_cast<HostText*>(owned), &error); // belongs to the value
  EXPECT_EQ(error.code, 2);
  error = Fresh();
  EXPECT_EQ(FM_Text_GetSize(owned, &error), 0u);
  EXPECT_EQ(error.code, 0) << "the value's text must still be alive";

  FM_Data_Delete(data, &error);
  EXPECT_EQ(error.code, 0);
  FM_Data_Delete(data, &error); // twice
  EXPECT_EQ(error.code, 2);
  error = Fresh();
  FM_Text_Assign(nullptr, "x", 1, &error);
  EXPECT_EQ(error.code, 2);
  error = Fresh();
  Text text;
  FM_Text_Assign(text.text, nullptr, 1, &error);
  EXPECT_EQ(error.code, 2);
  error = Fresh();
  EXPECT_EQ(FM_DataVect_Size(reinterpret_cast<HostDataVect*>(text.text), &error), 0u);
  EXPECT_EQ(error.code, 2) << "a text is no parameter vector";
}

TEST_F(LibraryCallsTest, LiveObjectsCountWhatThePluginMadeAndHasNotDeleted) {
  HostError error = Fresh();
  HostText* text = FM_Text_Constructor1(&error);
  HostData* data = FM_Data_Constructor1(&error);
  HostExprEnv* environment = FM_ExprEnv_Constructor1(&error);
  HostQuadChar* id = FM_QuadChar_Constructor2('T', 'd', 'L', 'm', &error);
  fmhost::LiveObjectCounts counts = fmhost::LiveHostObjectCounts();
  EXPECT_EQ(counts.texts, 1u); // the value's own text is not counted
  EXPECT_EQ(counts.data, 1u);
  EXPECT_EQ(counts.environments, 1u);
  EXPECT_EQ(counts.quadChars, 1u);
  EXPECT_EQ(fmhost::LiveHostObjects(), 4u);
  FM_Text_Delete(text, &error);
  FM_Data_Delete(data, &error);
  FM_ExprEnv_Delete(environment, &error);
  FM_QuadChar_Delete(id, &error);
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(fmhost::LiveHostObjects(), 0u);
}

TEST_F(LibraryCallsTest, ParameterVectorsHandOutTheirValuesWithTheHostLocale) {
  HostDataVect* parameters = fmhost::NewParametersUtf16({u"a\xD800", u""});
  HostError error = Fresh();
  ASSERT_EQ(FM_DataVect_Size(parameters, &error), 2u);
  const HostData* first = FM_DataVect_At(parameters, 0, &error);
  const HostText* text = FM_Data_GetAsText(first, &error);
  EXPECT_EQ(FM_Text_GetSize(text, &error), 2u);
  char bytes[8] = {};
  FM_Text_GetBytes(text, bytes, sizeof bytes, 0, 2, 1, &error);
  EXPECT_STREQ(bytes, "a\xEF\xBF\xBD");
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(FM_DataVect_At(parameters, 2, &error), nullptr);
  EXPECT_EQ(error.code, 2);

  // A value set with another value's locale takes that locale.
  HostData* result = fmhost::NewResult();
  error = Fresh();
  HostData* plain = FM_Data_Constructor1(&error);
  EXPECT_EQ(fmhost::ResultLocale(plain), "");
  FM_Data_SetAsText(plain, text, FM_Data_GetLocale(result, &error), 1, &error);
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(fmhost::ResultLocale(plain), fmhost::kHostLocaleName);
  EXPECT_EQ(fmhost::ResultUnits(plain), std::u16string(u"a\xD800"));
  EXPECT_EQ(fmhost::ResultText(plain), "a\xEF\xBF\xBD");
  FM_Data_Delete(plain, &error);
  fmhost::DeleteResult(result);
  fmhost::DeleteParameters(parameters);
}

// Registration without a plug-in library: the calls alone.
int16_t Nothing(int16_t, const HostExprEnv*, const HostDataVect*, HostData*) { return 0; }

TEST_F(LibraryCallsTest, RegisteringAnIdAgainReplacesItInPlaceAndUnregisteringIsLogged) {
  HostError error = Fresh();
  HostQuadChar* id = FM_QuadChar_Constructor2('T', 'e', 's', 't', &error);
  const auto add = [&](int16_t functionId, const char* name) {
    Text text(name);
    HostError registerError = Fresh();
    return FM_ExprEnv_RegisterExternalFunctionEx(id, functionId, text.text, text.text, text.text, 0,
                                                 1, 7, Nothing, &registerError);
  };
  EXPECT_EQ(add(1, "First"), 0);
  EXPECT_EQ(add(2, "Second"), 0);
  EXPECT_EQ(add(1, "First again"), 0);
  std::vector<fmhost::RegisteredFunction> functions = fmhost::RegisteredFunctions();
  ASSERT_EQ(functions.size(), 2u);
  EXPECT_EQ(functions[0].name, "First again");
  EXPECT_EQ(functions[0].pluginId, "Test");
  EXPECT_EQ(functions[1].name, "Second");

  FM_ExprEnv_UnRegisterExternalFunction(id, 1, &error);
  FM_ExprEnv_UnRegisterExternalFunction(id, 9, &error);
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(fmhost::UnregisteredIds(), (std::vector<int16_t>{1, 9}));
  ASSERT_EQ(fmhost::RegisteredFunctions().size(), 1u);
  EXPECT_EQ(fmhost::RegisteredFunctions()[0].id, 2);
  FM_QuadChar_Delete(id, &error);
}

} // namespace
