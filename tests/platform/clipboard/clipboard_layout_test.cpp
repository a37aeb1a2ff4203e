// Which names the host's XML is written under, and the bytes of each block.
#include <string>
#include <vector>

#include "clipboard_fixture.h"
#include "platform/clipboard.h"

namespace {

// Known keys add the host's own names in order; other keys, compared case-sensitively, get
// only their three.
TEST(ClipboardFormatNamesTest, EachKeyHasItsNamesInOrder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"XMSS", "Mac-XMSS Win-XMSS XMSS ScriptStep Win-ScriptStep"},
      {"XMSC", "Mac-XMSC Win-XMSC XMSC Script Win-Script"},
      {"XML2", "Mac-XML2 Win-XML2 XML2 Layout12 Win-Layout12"},
      {"XMVL", "Mac-XMVL Win-XMVL XMVL ValueList Win-ValueList"},
      {"XMFN", "Mac-XMFN Win-XMFN XMFN CustomFunction Win-CustomFunction"},
      {"XMFD", "Mac-XMFD Win-XMFD XMFD Field FieldDefinition Win-Field Win-FieldDefinition"},
      {"XMTB", "Mac-XMTB Win-XMTB XMTB Table BaseTable Win-Table Win-BaseTable"},
      {"XMLO", "Mac-XMLO Win-XMLO XMLO"},
      {"ABCD", "Mac-ABCD Win-ABCD ABCD"},
      {"xmss", "Mac-xmss Win-xmss xmss"},
      {"XMSS ", "Mac-XMSS |Win-XMSS |XMSS "},
      {"", "Mac-|Win-"}};
  for (const auto& [key, expected] : cases) {
    const char separator = expected.find('|') != std::string::npos ? '|' : ' ';
    std::string joined;
    for (const std::string& name : ClipboardFormatNames(key))
      joined += (joined.empty() ? "" : std::string(1, separator)) + name;
    EXPECT_EQ(joined, expected) << "key \"" << key << "\"";
  }
}

TEST(ClipboardFormatNamesTest, OnlyMacNamesOfHostTypesCarryTheByteCountHeader) {
  for (const char* name : {"Mac-XMSS", "Mac-XMAB", "Mac-XM", "Mac-"})
    EXPECT_EQ(MacHeaderLength(name), 4u) << name;
  for (const char* name : {"Mac-ABCD", "Mac-X", "mac-XMSS", "Win-XMSS", "XMSS", ""})
    EXPECT_EQ(MacHeaderLength(name), 0u) << name;
}

TEST(ClipboardFormatNamesTest, PredefinedFormatsOneToSeventeenHaveNamesAndNoOtherIdDoes) {
  std::string names;
  for (uint32_t id = 0; id <= 18; ++id)
    names += std::string(StandardClipboardFormatName(id)) + ",";
  EXPECT_EQ(names, ",CF_TEXT,CF_BITMAP,CF_METAFILEPICT,CF_SYLK,CF_DIF,CF_TIFF,CF_OEMTEXT,CF_DIB,"
                   "CF_PALETTE,CF_PENDATA,CF_RIFF,CF_WAVE,CF_UNICODETEXT,CF_ENHMETAFILE,CF_HDROP,"
                   "CF_LOCALE,CF_DIBV5,,");
  EXPECT_EQ(StandardClipboardFormatName(0x0200), "");
  EXPECT_EQ(StandardClipboardFormatName(0xC000), "");
}

using XmlLayoutTest = ClipboardTest;

TEST_F(XmlLayoutTest, ScriptStepsGoUnderFiveRegisteredFormatsInOrderThenUnicodeText) {
  const std::string xml = "<fmxmlsnippet type=\"FMObjectList\"><Step id=\"89\"/></fmxmlsnippet>";
  std::string error;
  ASSERT_TRUE(SetXmlClipboard("XMSS", xml, error)) << error;
  EXPECT_EQ(error, "");

  const std::vector<uint32_t> ids = FormatIds();
  const std::vector<uint32_t> expected = {FormatId("Mac-XMSS"),       FormatId("Win-XMSS"),
                                          FormatId("XMSS"),           FormatId("ScriptStep"),
                                          FormatId("Win-ScriptStep"), 13};
  ASSERT_GE(ids.size(), expected.size());
  EXPECT_EQ(std::vector<uint32_t>(ids.begin(), ids.begin() + 6), expected);
  // Anything after is a text format the system derives from the Unicode text.
  for (std::size_t i = expected.size(); i < ids.size(); ++i)
    EXPECT_LT(ids[i], 0xC000u);

  const std::string count = {static_cast<char>(xml.size()), 0, 0, 0};
  EXPECT_TRUE(BlockHolds("Mac-XMSS", count + xml));
  for (const char* plain : {"Win-XMSS", "XMSS", "ScriptStep", "Win-ScriptStep"}) {
    EXPECT_TRUE(BlockHolds(plain, xml)) << plain;
  }
  EXPECT_TRUE(
      BlockIdHolds(13, UnicodeTextBlock(u"<fmxmlsnippet type=\"FMObjectList\"><Step id=\"89\"/>"
                                        u"</fmxmlsnippet>")));
}

TEST_F(XmlLayoutTest, HeaderCountsUtf8BytesLittleEndian) {
  // 300 bytes: 2-byte characters count twice.
  const std::string xml = std::string(290, 'a') + "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
  ASSERT_EQ(xml.size(), 300u);
  std::string error;
  ASSERT_TRUE(SetXmlClipboard("XMFD", xml, error)) << error;
  EXPECT_TRUE(BlockHolds("Mac-XMFD", std::string("\x2C\x01\x00\x00", 4) + xml));
  EXPECT_TRUE(BlockHolds("Win-FieldDefinition", xml));
  EXPECT_TRUE(BlockIdHolds(13, UnicodeTextBlock(std::u16string(290, u'a') + u"\u00e9\u00e9\u00e9"
                                                                            u"\u00e9\u00e9")));
}

TEST_F(XmlLayoutTest, UnknownKeysUseTheirThreeNamesAndOnlyXmKeysGetTheHeader) {
  std::string error;
  ASSERT_TRUE(SetXmlClipboard("ABCD", "<x/>", error)) << error;
  for (const char* name : {"Mac-ABCD", "Win-ABCD", "ABCD"})
    EXPECT_TRUE(BlockHolds(name, "<x/>")) << name;
  const std::vector<uint32_t> ids = FormatIds();
  ASSERT_GE(ids.size(), 4u);
  EXPECT_EQ(ids[3], 13u);

  ASSERT_TRUE(SetXmlClipboard("XMAB", "<x/>", error)) << error;
  EXPECT_TRUE(BlockHolds("Mac-XMAB", std::string("\x04\x00\x00\x00<x/>", 8)));
  EXPECT_TRUE(BlockHolds("XMAB", "<x/>"));
  std::string stale;
  EXPECT_FALSE(ReadRaw("ABCD", stale)) << "writing replaces the whole clipboard";

  ASSERT_TRUE(SetXmlClipboard("", "<x/>", error)) << error;
  EXPECT_TRUE(BlockHolds("Mac-", std::string("\x04\x00\x00\x00<x/>", 8)));
  EXPECT_TRUE(BlockHolds("Win-", "<x/>"));
  ASSERT_GE(FormatIds().size(), 3u);
  EXPECT_EQ(FormatIds()[2], 13u);
}

TEST_F(XmlLayoutTest, EmptyXmlStopsAtTheFirstZeroByteBlockAfterTheHeaderFormat) {
  std::string error;
  EXPECT_FALSE(SetXmlClipboard("XMSS", "", error));
  EXPECT_EQ(error, "GlobalLock failed");
  EXPECT_TRUE(BlockHolds("Mac-XMSS", std::string(4, '\0')));
  std::string absent;
  EXPECT_FALSE(ReadRaw("Win-XMSS", absent));
}

TEST_F(XmlLayoutTest, NulBytesInsideTheXmlAreWrittenToTheXmlFormatsAsTheyAre) {
  const std::string xml("<a>\0<b/>", 8);
  std::string error;
  ASSERT_TRUE(SetXmlClipboard("XMSC", xml, error)) << error;
  EXPECT_TRUE(BlockHolds("Mac-XMSC", std::string("\x08\x00\x00\x00", 4) + xml));
  EXPECT_TRUE(BlockHolds("Script", xml));
  EXPECT_TRUE(BlockIdHolds(13, UnicodeTextBlock(u"<a>")));
}

} // namespace
