#include "platform/text_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tideloom {

using namespace std::string_literals;

TEST(TextConversion, WellFormedTextCrossesBothWaysUnchanged) {
  const std::vector<std::pair<std::string, std::u16string>> table = {
      {"", u""},
      {"plain ASCII", u"plain ASCII"},
      {"\xC3\xA9t\xC3\xA9", u"\u00e9t\u00e9"},
      {"\xE2\x82\xAC 5", u"\u20ac 5"},
      {"\xEF\xBF\xBF", u"\uffff"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"\x7F\x01", u"\x7f\x01"},
  };
  for (const auto& [utf8, utf16] : table) {
    EXPECT_EQ(Utf8ToWide(utf8), utf16) << utf8;
    EXPECT_EQ(WideToUtf8(utf16), utf8) << utf8;
  }
}

TEST(TextConversion, StopsAtTheFirstNul) {
  EXPECT_EQ(Utf8ToWide("ab\0cd"s), u"ab");
  EXPECT_EQ(Utf8ToWide("\0x"s), u"");
  EXPECT_EQ(WideToUtf8(u"ab\0cd"s), "ab");
}

TEST(TextConversion, IllFormedUtf8BecomesReplacementCharacters) {
  const std::vector<std::pair<std::string, std::u16string>> table = {
      {"a\xFF"
       "b",
       u"a\ufffdb"},
      {"\x80", u"\ufffd"},
      {"x\xC3", u"x\ufffd"},
      {"\xC3(", u"\ufffd("},
      {"\xE2\x82(", u"\ufffd("},
      {"\xF0\x9F\x98(", u"\ufffd("},
      {"\xC3\xA9\xFE\xC3\xA9", u"\u00e9\ufffd\u00e9"},
  };
  for (const auto& [utf8, utf16] : table) {
    EXPECT_EQ(Utf8ToWide(utf8), utf16) << utf8;
    // Clipboard blocks are sized by the length and written in place.
    std::u16string inPlace(Utf8ToWideLength(utf8), u'?');
    Utf8ToWideInto(utf8, inPlace.data(), inPlace.size());
    EXPECT_EQ(inPlace, utf16) << utf8;
  }
}

TEST(TextConversion, EncodedSurrogatesAndOverlongFormsNeverGetThrough) {
  // How many replacement characters a bad sequence yields differs between converters; what
  // matters is that only replacements come out and the text around survives.
  for (const std::string bad :
       {"\xED\xA0\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80"}) {
    const std::u16string wide = Utf8ToWide("<" + bad + ">");
    ASSERT_GE(wide.size(), 3u) << bad;
    EXPECT_EQ(wide.front(), u'<');
    EXPECT_EQ(wide.back(), u'>');
    for (std::size_t i = 1; i + 1 < wide.size(); ++i)
      EXPECT_EQ(wide[i], u'\ufffd') << bad;
  }
}

TEST(TextConversion, LoneSurrogatesBecomeReplacementCharacters) {
  const std::u16string loneHigh = {u'a', char16_t(0xD83D), u'b'};
  const std::u16string loneLow = {char16_t(0xDE00)};
  const std::u16string highAtEnd = {u'a', char16_t(0xD83D)};
  const std::u16string swapped = {char16_t(0xDE00), char16_t(0xD83D)};
  const std::u16string highThenPair = {char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)};
  EXPECT_EQ(WideToUtf8(loneHigh), "a\xEF\xBF\xBD"
                                  "b");
  EXPECT_EQ(WideToUtf8(loneLow), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(highAtEnd), "a\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(swapped), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(highThenPair), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

} // namespace tideloom
