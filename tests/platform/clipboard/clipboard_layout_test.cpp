// The names the host's XML is written under, in order, and the exact bytes of every block: the
// host and other programs read these, so a name or a byte out of place breaks pasting.
#include <sstream>
#include <string>
#include <vector>

#include "clipboard_fixture.h"
#include "platform/clipboard.h"

namespace tideloom {

namespace {

using namespace std::string_literals;

struct LayoutCase {
  std::string key, xml;
  std::string names;          // in the order written, space-separated; the Unicode text follows
  std::string macBlock;       // the bytes under the "Mac-" name; the other names hold the XML as is
  std::string textBlock = {}; // the Unicode text's bytes, when the row checks them
};

std::vector<LayoutCase> LayoutCases() {
  // 300 bytes: 2-byte characters count twice in the header.
  const std::string xml300 = std::string(290, 'a') + "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
  return {
      {"XMSS", "<S/>", "Mac-XMSS Win-XMSS XMSS ScriptStep Win-ScriptStep", "\x04\0\0\0<S/>"s,
       "<\0S\0/\0>\0\0\0"s},
      {"XMSC", "<a>\0<b/>"s, "Mac-XMSC Win-XMSC XMSC Script Win-Script", "\x08\0\0\0<a>\0<b/>"s,
       "<\0a\0>\0\0\0"s},
      {"XML2", "<\xC3\xA9/>", "Mac-XML2 Win-XML2 XML2 Layout12 Win-Layout12",
       "\x05\0\0\0<\xC3\xA9/>"s, "<\0\xE9\0/\0>\0\0\0"s},
      {"XMVL", "<v/>", "Mac-XMVL Win-XMVL XMVL ValueList Win-ValueList", "\x04\0\0\0<v/>"s},
      {"XMFN", "<f/>", "Mac-XMFN Win-XMFN XMFN CustomFunction Win-CustomFunction",
       "\x04\0\0\0<f/>"s},
      {"XMFD", xml300, "Mac-XMFD Win-XMFD XMFD Field FieldDefinition Win-Field Win-FieldDefinition",
       "\x2C\x01\0\0"s + xml300},
      {"XMTB", "<t/>", "Mac-XMTB Win-XMTB XMTB Table BaseTable Win-Table Win-BaseTable",
       "\x04\0\0\0<t/>"s},
      {"XMLO", "<l/>", "Mac-XMLO Win-XMLO XMLO", "\x04\0\0\0<l/>"s},
      // Any key starting "XM" is the host's and gets the header; other keys, compared
      // case-sensitively, get neither header nor extra names.
      {"XMAB", "<x/>", "Mac-XMAB Win-XMAB XMAB", "\x04\0\0\0<x/>"s},
      {"XBCD", "<x/>", "Mac-XBCD Win-XBCD XBCD", "<x/>"},
      {"xmss", "<x/>", "Mac-xmss Win-xmss xmss", "<x/>"},
      {"", "<x/>", "Mac- Win-", "\x04\0\0\0<x/>"s},
  };
}

using XmlLayoutTest = ClipboardTest;

TEST_F(XmlLayoutTest, EachKeysNamesHoldTheXmlInOrderThenUnicodeTextReplacingEverything) {
  PutRaw("Unrelated", "stale");
  for (const LayoutCase& c : LayoutCases()) {
    SCOPED_TRACE("key \"" + c.key + "\"");
    std::string error;
    ASSERT_TRUE(SetXmlClipboard(c.key, c.xml, error)) << error;
    EXPECT_EQ(error, "");
    std::vector<uint32_t> expected;
    std::istringstream names(c.names);
    for (std::string name; names >> name;) {
      expected.push_back(FormatId(name));
      EXPECT_TRUE(BlockHolds(name, name.starts_with("Mac-") ? c.macBlock : c.xml)) << name;
    }
    expected.push_back(kUnicodeTextFormat);
    std::vector<uint32_t> ids = FormatIds();
    // Anything after is a text format the system derives from the Unicode text.
    for (std::size_t i = expected.size(); i < ids.size(); ++i)
      EXPECT_LT(ids[i], 0xC000u);
    ids.resize(std::min(ids.size(), expected.size()));
    EXPECT_EQ(ids, expected);
    if (!c.textBlock.empty()) {
      EXPECT_TRUE(BlockIdHolds(kUnicodeTextFormat, c.textBlock));
    }
  }
}

TEST_F(XmlLayoutTest, EmptyXmlStopsAtTheFirstZeroByteBlockAfterTheHeaderFormat) {
  std::string error;
  EXPECT_FALSE(SetXmlClipboard("XMSS", "", error));
  EXPECT_EQ(error, "GlobalLock failed");
  EXPECT_TRUE(BlockHolds("Mac-XMSS", "\0\0\0\0"s));
  EXPECT_FALSE(Holds("Win-XMSS"));
}

} // namespace

} // namespace tideloom
