#include "platform/text_conversion.h"

#include <gtest/gtest.h>

#include <string>

namespace tideloom {

using namespace std::string_literals;

TEST(TextConversion, WellFormedTextCrossesBothWaysUpToANulAndIllFormedBecomesReplacements) {
  enum Direction { kBoth, kToWide, kToUtf8 };
  const char16_t high = 0xD83D, low = 0xDE00;
  const struct {
    std::string utf8;
    std::u16string utf16;
    Direction direction = kBoth;
  } cases[] = {
      {"", u""},
      {"plain ASCII", u"plain ASCII"},
      {"\xC3\xA9t\xC3\xA9", u"\u00e9t\u00e9"},
      {"\xEF\xBF\xBF", u"\uffff"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"\x7F\x01", u"\x7f\x01"},
      {"ab\0cd"s, u"ab", kToWide},
      {"ab", u"ab\0cd"s, kToUtf8},
      {"a\xFF\x62", u"a\ufffdb", kToWide},
      {"\x80", u"\ufffd", kToWide},
      {"x\xC3", u"x\ufffd", kToWide},
      {"\xC3(", u"\ufffd(", kToWide},
      {"\xE2\x82(", u"\ufffd(", kToWide},
      {"\xF0\x9F\x98(", u"\ufffd(", kToWide},
      {"a\xEF\xBF\xBD\x62", {u'a', high, u'b'}, kToUtf8},
      {"a\xEF\xBF\xBD", {u'a', high}, kToUtf8},
      {"\xEF\xBF\xBD\xEF\xBF\xBD", {low, high}, kToUtf8},
      {"\xEF\xBF\xBD\xF0\x9F\x98\x80", {high, high, low}, kToUtf8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    if (c.direction != kToUtf8) {
      EXPECT_EQ(Utf8ToWide(c.utf8), c.utf16);
      // Clipboard blocks are sized by the length and written in place.
      std::u16string inPlace(Utf8ToWideLength(c.utf8), u'?');
      Utf8ToWideInto(c.utf8, inPlace.data(), inPlace.size());
      EXPECT_EQ(inPlace, c.utf16);
    }
    if (c.direction != kToWide) {
      EXPECT_EQ(WideToUtf8(c.utf16), c.utf8);
    }
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

} // namespace tideloom
