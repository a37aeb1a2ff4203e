// Reading back what the host or another program left, probing for the type, listing, and text.
#include <string>

#include "clipboard_fixture.h"
#include "platform/clipboard.h"

namespace {

using XmlReadTest = ClipboardTest;

TEST_F(XmlReadTest, WhatIsWrittenUnderAKeyReadsBackUnchanged) {
  const std::string xml("<fmxmlsnippet>\xE2\x82\xAC \xF0\x9F\x98\x80 <a>\0</a></fmxmlsnippet>", 42);
  for (const char* key : {"XMSS", "XMSC", "XMFD", "XMTB", "XMLO", "XMFN", "XMVL", "XML2", "ABCD"}) {
    std::string error;
    ASSERT_TRUE(SetXmlClipboard(key, xml, error)) << key << ": " << error;
    std::string read = "stale";
    ASSERT_TRUE(GetXmlClipboard(key, read, error)) << key << ": " << error;
    EXPECT_EQ(read, xml) << key;
  }
}

TEST_F(XmlReadTest, TheFirstNameOfTheListThatIsPresentIsRead) {
  // The sixth name of the field list, after five that find nothing.
  PutRaw("Win-Field", "<Field/>");
  std::string xml, error;
  ASSERT_TRUE(GetXmlClipboard("XMFD", xml, error)) << error;
  EXPECT_EQ(xml, "<Field/>");

  // The header of a Mac block is skipped, the plain block behind it is not looked at.
  PutRawItems({{"Win-XMSS", 0, "<plain/>"}, {"Mac-XMSS", 0, std::string("\x05\0\0\0<mac>", 9)}});
  ASSERT_TRUE(GetXmlClipboard("XMSS", xml, error)) << error;
  EXPECT_EQ(xml, "<mac>");
}

TEST_F(XmlReadTest, TheBlockNotItsHeaderBoundsTheXmlAndTrailingNulsAreCut) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string("\xE8\x03\x00\x00<s/>", 8), "<s/>"}, // the header claims 1000 bytes
      {std::string("\x00\x00\x00\x00<s/>", 8), "<s/>"}, // or none
      {std::string("\x10\0\0\0", 4), ""},               // no room for XML
      {std::string("ab"), ""},                          // not even for the header
      {std::string("\0\0\0\0<a>\0<b/>\0\0\0", 15), std::string("<a>\0<b/>", 8)},
      {std::string(9, '\0'), ""},
  };
  for (const auto& [block, expected] : cases) {
    PutRaw("Mac-XMTB", block);
    std::string xml = "stale", error;
    EXPECT_TRUE(GetXmlClipboard("XMTB", xml, error)) << error;
    EXPECT_EQ(xml, expected) << ::testing::PrintToString(block);
  }
}

TEST_F(XmlReadTest, AKeyWithNothingOnTheClipboardReadsAsEmptyAndNamesIgnoreCase) {
  PutRaw("Win-XMSS", "<steps/>");
  std::string xml = "stale", error;
  EXPECT_TRUE(GetXmlClipboard("XMSC", xml, error));
  EXPECT_EQ(xml, "");
  EXPECT_EQ(error, "");
  // "xmss" is not a known key, but the system knows "Win-xmss" as "Win-XMSS".
  ASSERT_TRUE(GetXmlClipboard("xmss", xml, error)) << error;
  EXPECT_EQ(xml, "<steps/>");
}

using XmlProbeTest = ClipboardTest;

TEST_F(XmlProbeTest, TheProbeOrderIsStepsScriptsLayoutTablesFieldsFunctionsListsLayouts) {
  // Each pair: the clipboard holds both; the first one wins.
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"XMSS", "XMSC"}, {"XMSC", "XML2"}, {"XML2", "XMTB"}, {"XMTB", "XMFD"},
      {"XMFD", "XMFN"}, {"XMFN", "XMVL"}, {"XMVL", "XMLO"}};
  for (const auto& [first, second] : pairs) {
    PutRawItems(
        {{"Win-" + second, 0, "<" + second + "/>"}, {"Win-" + first, 0, "<" + first + "/>"}});
    std::string key, xml, error = "stale";
    ASSERT_TRUE(ProbeXmlClipboard(key, xml, error)) << first;
    EXPECT_EQ(key, first);
    EXPECT_EQ(xml, "<" + first + "/>");
    EXPECT_EQ(error, "");
  }
  PutRaw("XMLO", "<lo/>");
  std::string key, xml, error;
  ASSERT_TRUE(ProbeXmlClipboard(key, xml, error));
  EXPECT_EQ(key, "XMLO");
}

TEST_F(XmlProbeTest, DataThatReadsAsEmptyDoesNotWinAndNothingFoundIsNoError) {
  PutRawItems({{"Mac-XMSS", 0, std::string("\0\0\0\0", 4)}, {"Win-XMVL", 0, "<list/>"}});
  std::string key, xml, error;
  ASSERT_TRUE(ProbeXmlClipboard(key, xml, error));
  EXPECT_EQ(key, "XMVL");

  PutRaw("Unrelated", "<x/>");
  key = "";
  xml = "";
  EXPECT_FALSE(ProbeXmlClipboard(key, xml, error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(key, "");
  EXPECT_EQ(xml, "");
}

TEST_F(XmlProbeTest, AFailedReadFailsTheProbeOnlyWhenNoLaterKeyWins) {
  PutRawItems({{"Win-XMSC", 0, "<script/>"}, {"Win-XMVL", 0, "<list/>"}});
  Faults().locksBeforeFailure = 0;
  std::string key, xml, error;
  EXPECT_FALSE(ProbeXmlClipboard(key, xml, error));
  EXPECT_EQ(error, "GlobalLock failed");

  // Only the scripts' block cannot be locked: the value list still wins.
  Faults().lockFailures = 1;
  EXPECT_TRUE(ProbeXmlClipboard(key, xml, error));
  EXPECT_EQ(key, "XMVL");
  EXPECT_EQ(xml, "<list/>");
  EXPECT_EQ(error, "");
}

using FormatListingTest = ClipboardTest;

TEST_F(FormatListingTest, EachFormatIsOneLineOfIdTabNameInClipboardOrder) {
  std::string listing = "stale", error;
  ASSERT_TRUE(ListClipboardFormats(listing, error)) << error;
  EXPECT_EQ(listing, "") << "an empty clipboard lists as empty text";
  ASSERT_TRUE(SetXmlClipboard("XMSS", "<Step/>", error)) << error;
  ASSERT_TRUE(ListClipboardFormats(listing, error)) << error;
  std::string expected;
  for (const char* name : {"Mac-XMSS", "Win-XMSS", "XMSS", "ScriptStep", "Win-ScriptStep"}) {
    expected += std::to_string(FormatId(name)) + "\t" + name + "\n";
  }
  expected += "13\tCF_UNICODETEXT\n";
  EXPECT_EQ(listing.substr(0, expected.size()), expected);
  EXPECT_EQ(listing.back(), '\n');
}

TEST_F(FormatListingTest, OtherProgramsNamesAreListedAndUnnamedPrivateFormatsGetNoName) {
  PutRawItems({{"Other \xC3\xA9" + std::string(200, 'x'), 0, "a"},
               {"", 0x0200, "b"},
               {"", 16, "\x09\x04\0\0"}});
  std::string listing, error;
  ASSERT_TRUE(ListClipboardFormats(listing, error)) << error;
  const std::string otherName = "Other \xC3\xA9" + std::string(200, 'x');
  EXPECT_EQ(listing, std::to_string(FormatId(otherName)) + "\t" + otherName + "\n" + "512\t\n" +
                         "16\tCF_LOCALE\n");
}

TEST_F(FormatListingTest, AnEnumerationThatEndsWithAnErrorListsNothing) {
  std::string error;
  ASSERT_TRUE(SetClipboardText("x", error)) << error;
  Faults().errorAtEndOfEnumeration = 1418;
  std::string listing = "untouched";
  EXPECT_FALSE(ListClipboardFormats(listing, error));
  EXPECT_EQ(error, "EnumClipboardFormats failed");
  EXPECT_EQ(listing, "untouched");
}

using UnicodeTextTest = ClipboardTest;

TEST_F(UnicodeTextTest, TextRoundTripsThroughUtf16WithOneNulUnit) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F"
                           "e \xF0\x9F\x98\x80\r\nline";
  std::string error;
  ASSERT_TRUE(SetClipboardText(text, error)) << error;
  EXPECT_TRUE(BlockIdHolds(13, UnicodeTextBlock(u"Gr\u00fc\u00dfe \U0001F600\r\nline")));
  std::string read;
  ASSERT_TRUE(GetClipboardText(read, error)) << error;
  EXPECT_EQ(read, text);
}

TEST_F(UnicodeTextTest, EmptyTextIsWrittenAsOneNulUnitAndNoTextReadsAsEmpty) {
  std::string error;
  ASSERT_TRUE(SetXmlClipboard("XMSS", "<Step/>", error)) << error;
  ASSERT_TRUE(SetClipboardText("", error)) << error;
  EXPECT_TRUE(BlockIdHolds(13, std::string(2, '\0')));
  std::string gone;
  EXPECT_FALSE(ReadRaw("Mac-XMSS", gone));
  std::string read = "stale";
  ASSERT_TRUE(GetClipboardText(read, error));
  EXPECT_EQ(read, "");

  PutRaw("Win-XMSS", "<Step/>");
  read = "stale";
  error = "";
  EXPECT_TRUE(GetClipboardText(read, error)) << "no Unicode text is no error";
  EXPECT_EQ(read, "");
  EXPECT_EQ(error, "");
}

TEST_F(UnicodeTextTest, ReadingEndsAtTheFirstNulOrTheBlocksEndWhicheverComesFirst) {
  // The block holds "abcdef" and its NUL, but the system says only six bytes belong to it.
  PutRawItems({{"", 13, UnicodeTextBlock(u"abcdef")}});
  Faults().reportedSizeLimit = 6;
  std::string text, error;
  ASSERT_TRUE(GetClipboardText(text, error)) << error;
  EXPECT_EQ(text, "abc");

  // An odd size leaves the half unit out.
  Faults().reportedSizeLimit = 7;
  ASSERT_TRUE(GetClipboardText(text, error)) << error;
  EXPECT_EQ(text, "abc");

  Faults().reportedSizeLimit = SIZE_MAX;
  PutRawItems({{"", 13, std::string("a\0b\0\0\0c\0\0\0", 10)}});
  ASSERT_TRUE(GetClipboardText(text, error)) << error;
  EXPECT_EQ(text, "ab") << "the first NUL unit ends the text";
}

} // namespace
