// Reading back what the host or another program left, probing for the type, listing, and text.
#include <string>
#include <vector>

#include "clipboard_fixture.h"
#include "platform/clipboard.h"

namespace tideloom {

namespace {

using namespace std::string_literals;

using XmlReadTest = ClipboardTest;

TEST_F(XmlReadTest, TheFirstNamePresentIsReadAndItsBlockNotItsHeaderBoundsTheXml) {
  struct Case {
    std::vector<RawItem> clipboard;
    std::string key, expected;
  };
  const auto mac = [](std::string bytes) { return std::vector<RawItem>{{"Mac-XMTB", 0, bytes}}; };
  const std::vector<Case> cases = {
      // The sixth name of the field list, after five that find nothing.
      {{{"Win-Field", 0, "<Field/>"}}, "XMFD", "<Field/>"},
      // The header of a Mac block is skipped, the plain block behind it is not looked at.
      {{{"Win-XMSS", 0, "<plain/>"}, {"Mac-XMSS", 0, "\x05\0\0\0<mac>"s}}, "XMSS", "<mac>"},
      {mac("\xE8\x03\x00\x00<s/>"s), "XMTB", "<s/>"}, // the header claims 1000 bytes
      {mac("\x00\x00\x00\x00<s/>"s), "XMTB", "<s/>"}, // or none
      {mac("\x10\0\0\0"s), "XMTB", ""},               // no room for XML
      {mac("ab"), "XMTB", ""},                        // not even for the header
      {mac("\0\0\0\0<a>\0<b/>\0\0\0"s), "XMTB", "<a>\0<b/>"s},
      {mac(std::string(9, '\0')), "XMTB", ""},
      // A key with nothing on the clipboard reads as empty, which is no error.
      {{{"Win-XMSS", 0, "<steps/>"}}, "XMSC", ""},
      // "xmss" is not a known key, but the system knows "Win-xmss" as "Win-XMSS".
      {{{"Win-XMSS", 0, "<steps/>"}}, "xmss", "<steps/>"},
  };
  for (const Case& c : cases) {
    PutRawItems(c.clipboard);
    std::string xml = "stale", error;
    EXPECT_TRUE(GetXmlClipboard(c.key, xml, error)) << error;
    EXPECT_EQ(xml, c.expected) << ::testing::PrintToString(c.clipboard.back().bytes);
    EXPECT_EQ(error, "");
  }
}

TEST_F(XmlReadTest, TheProbeTakesTheFirstKeyInItsOrderWhoseXmlIsNotEmpty) {
  struct Case {
    std::vector<RawItem> clipboard;
    std::string key; // "" when nothing is found
  };
  std::vector<Case> cases;
  // Each pair: the clipboard holds both; the first one wins.
  const std::vector<std::string> order = {"XMSS", "XMSC", "XML2", "XMTB",
                                          "XMFD", "XMFN", "XMVL", "XMLO"};
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    const std::string &first = order[i], &second = order[i + 1];
    cases.push_back(
        {{{"Win-" + second, 0, "<" + second + "/>"}, {"Win-" + first, 0, "<" + first + "/>"}},
         first});
  }
  cases.push_back({{{"XMLO", 0, "<XMLO/>"}}, "XMLO"});
  // Data that reads as empty does not win.
  cases.push_back({{{"Mac-XMSS", 0, "\0\0\0\0"s}, {"Win-XMVL", 0, "<XMVL/>"}}, "XMVL"});
  cases.push_back({{{"Unrelated", 0, "<x/>"}}, ""});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    PutRawItems(c.clipboard);
    std::string key, xml, error;
    EXPECT_EQ(ProbeXmlClipboard(key, xml, error), !c.key.empty());
    EXPECT_EQ(key, c.key);
    EXPECT_EQ(xml, c.key.empty() ? "" : "<" + c.key + "/>");
    EXPECT_EQ(error, "");
  }
}

using FormatListingTest = ClipboardTest;

TEST_F(FormatListingTest, EachFormatIsOneLineOfIdTabNameInClipboardOrder) {
  std::string listing = "stale", error;
  ASSERT_TRUE(ListClipboardFormats(listing, error)) << error;
  EXPECT_EQ(listing, "") << "an empty clipboard lists as empty text";

  // Unnamed private formats get no name, predefined ones theirs.
  const std::string otherName = "Other \xC3\xA9" + std::string(200, 'x');
  PutRawItems({{otherName, 0, "a"}, {"", 0x0200, "b"}, {"", 16, "\x09\x04\0\0"s}});
  ASSERT_TRUE(ListClipboardFormats(listing, error)) << error;
  EXPECT_EQ(listing, std::to_string(FormatId(otherName)) + "\t" + otherName + "\n" + "512\t\n" +
                         "16\tCF_LOCALE\n");

  ASSERT_TRUE(SetXmlClipboard("XMSS", "<Step/>", error)) << error;
  ASSERT_TRUE(ListClipboardFormats(listing, error)) << error;
  std::string expected;
  for (const char* name : {"Mac-XMSS", "Win-XMSS", "XMSS", "ScriptStep", "Win-ScriptStep"})
    expected += std::to_string(FormatId(name)) + "\t" + name + "\n";
  expected += "13\tCF_UNICODETEXT\n";
  EXPECT_EQ(listing.substr(0, expected.size()), expected);
  EXPECT_EQ(listing.back(), '\n');
}

using UnicodeTextTest = ClipboardTest;

TEST_F(UnicodeTextTest, TextIsWrittenAsUtf16WithOneNulUnitReplacingEverything) {
  std::string error;
  for (const auto& [text, block] :
       {std::pair{"Gr\xC3\xBC\xC3\x9F"
                  "e \xF0\x9F\x98\x80\r\nline"s,
                  "G\0r\0\xFC\0\xDF\0e\0 \0\x3D\xD8\x00\xDE\r\0\n\0l\0i\0n\0e\0\0\0"s},
        {""s, "\0\0"s}}) {
    ASSERT_TRUE(SetXmlClipboard("XMSS", "<Step/>", error)) << error;
    ASSERT_TRUE(SetClipboardText(text, error)) << error;
    EXPECT_TRUE(BlockIdHolds(kUnicodeTextFormat, block));
    EXPECT_FALSE(Holds("Mac-XMSS"));
    std::string read = "stale";
    ASSERT_TRUE(GetClipboardText(read, error)) << error;
    EXPECT_EQ(read, text);
  }
}

TEST_F(UnicodeTextTest, ReadingEndsAtTheFirstNulOrTheBlocksEndWhicheverComesFirst) {
  struct Case {
    std::vector<RawItem> clipboard;
    std::size_t reportedSize;
    std::string expected;
  };
  const std::vector<RawItem> abcdef = {{"", 13, UnicodeTextBlock(u"abcdef")}};
  const std::vector<Case> cases = {
      // The block holds "abcdef" and its NUL, but the system says only six bytes belong to it;
      // an odd size leaves the half unit out.
      {abcdef, 6, "abc"},
      {abcdef, 7, "abc"},
      {{{"", 13, "a\0b\0\0\0c\0\0\0"s}}, SIZE_MAX, "ab"},
      {{{"Win-XMSS", 0, "<Step/>"}}, SIZE_MAX, ""}, // no Unicode text is no error
  };
  for (const Case& c : cases) {
    PutRawItems(c.clipboard);
    Faults().reportedSizeLimit = c.reportedSize;
    std::string text = "stale", error;
    ASSERT_TRUE(GetClipboardText(text, error)) << error;
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(error, "");
  }
}

} // namespace

} // namespace tideloom
