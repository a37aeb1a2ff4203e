// The clipboard port's contract, run on Windows' own calls (under Wine) and on the in-process
// stand-in alike, then the host's XML and text byte for byte, and every system call made to fail:
// other programs read these blocks, so a name or a byte out of place breaks pasting.
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "clipboard_fixture.h"
#include "platform/clipboard.h"

namespace tideloom {

using namespace std::string_literals;

namespace {

ClipboardPort& Port() { return ClipboardSystem(); }

const std::string kXml = "<fmxmlsnippet><Step/></fmxmlsnippet>";

using Operation = bool (*)(std::string& out, std::string& error);
bool SetXml(std::string&, std::string& error) { return SetXmlClipboard("XMSS", kXml, error); }
bool SetEmptyXml(std::string&, std::string& error) { return SetXmlClipboard("XMSS", "", error); }
bool GetXml(std::string& out, std::string& error) { return GetXmlClipboard("XMSS", out, error); }
bool List(std::string& out, std::string& error) { return ListClipboardFormats(out, error); }
bool GetText(std::string& out, std::string& error) { return GetClipboardText(out, error); }
bool SetText(std::string&, std::string& error) { return SetClipboardText("new", error); }
bool Probe(std::string& out, std::string& error) {
  std::string key;
  return ProbeXmlClipboard(key, out, error);
}

} // namespace

using ClipboardPortTest = ClipboardTest;

TEST_F(ClipboardPortTest, NamesRegisterAboveC000OnceWhateverTheirCaseAndReadBackCut) {
  const uint32_t id = Port().registerClipboardFormat(u"PortTest-One");
  EXPECT_GE(id, 0xC000u);
  EXPECT_EQ(Port().registerClipboardFormat(u"porttest-ONE"), id);
  EXPECT_NE(Port().registerClipboardFormat(u"PortTest-Two"), id);
  EXPECT_EQ(Port().registerClipboardFormat(u""), 0u);
  EXPECT_EQ(Port().registerClipboardFormat(std::u16string(256, u'n').c_str()), 0u);
  EXPECT_NE(Port().registerClipboardFormat(std::u16string(255, u'n').c_str()), 0u);

  char16_t name[8] = {};
  EXPECT_EQ(Port().getClipboardFormatName(id, name, 8), 7);
  EXPECT_EQ(std::u16string(name), u"PortTes") << "cut to the buffer, NUL included";
  EXPECT_EQ(Port().getClipboardFormatName(kUnicodeTextFormat, name, 8), 0);
}

TEST_F(ClipboardPortTest, FormatsEnumerateInTheOrderSetAndTheEndIsNoError) {
  const uint32_t named = FormatId("PortTest-Order");
  ASSERT_TRUE(Port().openClipboard());
  ASSERT_TRUE(Port().emptyClipboard());
  // Setting a format again replaces its data in its place.
  GlobalBlock again = nullptr;
  for (const uint32_t format : {named, kUnicodeTextFormat, uint32_t{0x0200}, kUnicodeTextFormat}) {
    again = Port().globalAllocMovable(4);
    std::memcpy(Port().globalLock(again), "ab\0\0", 4);
    Port().globalUnlock(again);
    ASSERT_EQ(Port().setClipboardData(format, again), again);
  }
  EXPECT_EQ(Port().getClipboardData(kUnicodeTextFormat), again);
  Port().setLastError(0);
  uint32_t last = 0;
  while (uint32_t next = Port().enumClipboardFormats(last))
    last = next;
  EXPECT_EQ(Port().getLastError(), 0u) << "the end of the enumeration is no error";
  EXPECT_TRUE(Port().closeClipboard());
  std::vector<uint32_t> order = FormatIds();
  // Anything after is a text format the system derives from the Unicode text.
  order.resize(std::min<std::size_t>(order.size(), 3));
  EXPECT_EQ(order, (std::vector<uint32_t>{named, kUnicodeTextFormat, 0x0200}));

  // A closed clipboard hands out nothing and says why.
  EXPECT_EQ(Port().getClipboardData(kUnicodeTextFormat), nullptr);
  EXPECT_EQ(Port().enumClipboardFormats(0), 0u);
  EXPECT_EQ(Port().getLastError(), 1418u);
  EXPECT_FALSE(Port().closeClipboard());
}

using XmlLayoutTest = ClipboardTest;

TEST_F(XmlLayoutTest, EachKeysNamesHoldTheXmlInOrderThenUnicodeTextReplacingEverything) {
  struct LayoutCase {
    std::string key, xml;
    std::string names; // written after "Mac-" + key, "Win-" + key and key; the Unicode text follows
    std::string macBlock; // the bytes under the "Mac-" name; the other names hold the XML as is
    std::string textBlock = {}; // the Unicode text's bytes, when the row checks them
  };

  // 300 bytes: 2-byte characters count twice in the header.
  const std::string xml300 = std::string(290, 'a') + "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
  const LayoutCase cases[] = {
      {"XMSS", "<S/>", "ScriptStep Win-ScriptStep", "\x04\0\0\0<S/>"s, "<\0S\0/\0>\0\0\0"s},
      {"XMSC", "<a>\0<b/>"s, "Script Win-Script", "\x08\0\0\0<a>\0<b/>"s, "<\0a\0>\0\0\0"s},
      {"XML2", "<\xC3\xA9/>", "Layout12 Win-Layout12", "\x05\0\0\0<\xC3\xA9/>"s,
       "<\0\xE9\0/\0>\0\0\0"s},
      {"XMVL", "<v/>", "ValueList Win-ValueList", "\x04\0\0\0<v/>"s},
      {"XMFN", "<f/>", "CustomFunction Win-CustomFunction", "\x04\0\0\0<f/>"s},
      {"XMFD", xml300, "Field FieldDefinition Win-Field Win-FieldDefinition",
       "\x2C\x01\0\0"s + xml300},
      {"XMTB", "<t/>", "Table BaseTable Win-Table Win-BaseTable", "\x04\0\0\0<t/>"s},
      {"XMLO", "<l/>", "", "\x04\0\0\0<l/>"s},
      // Any key starting "XM" is the host's and gets the header; other keys, compared
      // case-sensitively, get neither header nor extra names.
      {"XMAB", "<x/>", "", "\x04\0\0\0<x/>"s},
      {"XBCD", "<x/>", "", "<x/>"},
      {"xmss", "<x/>", "", "<x/>"},
      {"", "<x/>", "", "\x04\0\0\0<x/>"s},
  };
  PutRaw("Unrelated", "stale");
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE("key \"" + c.key + "\"");
    std::string error = "untouched"; // on success
    ASSERT_TRUE(SetXmlClipboard(c.key, c.xml, error)) << error;
    EXPECT_EQ(error, "untouched");
    std::vector<uint32_t> expected;
    std::istringstream names("Mac-" + c.key + " Win-" + c.key + " " + c.key + " " + c.names);
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
      {mac("ab"), "XMTB", ""},                        // no room for the header
      {mac("\0\0\0\0<a>\0<b/>\0\0\0"s), "XMTB", "<a>\0<b/>"s},
      // A key with nothing on the clipboard reads as empty, which is no error.
      {{{"Win-XMSS", 0, "<steps/>"}}, "XMSC", ""},
      // "xmss" is not a known key, but the system knows "Win-xmss" as "Win-XMSS".
      {{{"Win-XMSS", 0, "<steps/>"}}, "xmss", "<steps/>"},
  };
  for (const Case& c : cases) {
    PutRawItems(c.clipboard);
    std::string xml = "stale", error = "untouched";
    EXPECT_TRUE(GetXmlClipboard(c.key, xml, error)) << error;
    EXPECT_EQ(xml, c.expected) << ::testing::PrintToString(c.clipboard.back().bytes);
    EXPECT_EQ(error, "untouched");
  }
}

TEST_F(XmlReadTest, TheProbeTakesTheFirstKeyInItsOrderWhoseXmlIsNotEmptyOrCanBeRead) {
  struct Case {
    std::vector<RawItem> clipboard;
    std::string key;             // "" when nothing is found
    bool firstLockFails = false; // and no other
  };
  // Each pair: the clipboard holds both; the first one wins.
  const std::string order[] = {"XMSS", "XMSC", "XML2", "XMTB", "XMFD", "XMFN", "XMVL", "XMLO"};
  std::vector<Case> cases = {{{{"XMLO", 0, "<XMLO/>"}}, "XMLO"}};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
    const std::string &first = order[i], &second = order[i + 1];
    cases.push_back(
        {{{"Win-" + second, 0, "<" + second + "/>"}, {"Win-" + first, 0, "<" + first + "/>"}},
         first});
  }
  // Data that reads as empty does not win.
  cases.push_back({{{"Mac-XMSS", 0, "\0\0\0\0"s}, {"Win-XMVL", 0, "<XMVL/>"}}, "XMVL"});
  cases.push_back({{{"Unrelated", 0, "<x/>"}}, ""});
  // A read that fails does not fail the probe when a later key wins.
  cases.push_back({{{"Win-XMSC", 0, "<XMSC/>"}, {"Win-XMVL", 0, "<XMVL/>"}}, "XMVL", true});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    PutRawItems(c.clipboard);
    Faults().locksBeforeFailure = c.firstLockFails ? 0 : -1;
    Faults().lockFailures = 1;
    std::string key, xml, error = "untouched";
    EXPECT_EQ(ProbeXmlClipboard(key, xml, error), !c.key.empty());
    EXPECT_EQ(key, c.key);
    EXPECT_EQ(xml, c.key.empty() ? "" : "<" + c.key + "/>");
    EXPECT_EQ(error, c.key.empty() ? "untouched" : "");
  }
}

using FormatListingTest = ClipboardTest;

TEST_F(FormatListingTest, EachFormatIsOneLineOfIdTabNameInClipboardOrder) {
  std::string listing = "stale", error = "untouched";
  ASSERT_TRUE(ListClipboardFormats(listing, error)) << error;
  EXPECT_EQ(listing, "") << "an empty clipboard lists as empty text";

  // Unnamed private formats get no name, predefined ones theirs.
  const std::string otherName = "Other \xC3\xA9" + std::string(200, 'x');
  PutRawItems(
      {{otherName, 0, "a"}, {"", 0x0200, "b"}, {"", 16, "\x09\x04\0\0"s}, {"", 13, "\0\0"s}});
  ASSERT_TRUE(ListClipboardFormats(listing, error)) << error;
  const std::string expected = std::to_string(FormatId(otherName)) + "\t" + otherName + "\n" +
                               "512\t\n16\tCF_LOCALE\n13\tCF_UNICODETEXT\n";
  EXPECT_EQ(listing.substr(0, expected.size()), expected);
  EXPECT_EQ(error, "untouched");
}

using UnicodeTextTest = ClipboardTest;

TEST_F(UnicodeTextTest, TextIsWrittenAsUtf16WithOneNulUnitReplacingEverything) {
  std::string error = "untouched";
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
    EXPECT_EQ(error, "untouched");
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
    std::string text = "stale", error = "untouched";
    ASSERT_TRUE(GetClipboardText(text, error)) << error;
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(error, "untouched");
  }
}

using ClipboardFailureTest = ClipboardTest;

TEST_F(ClipboardFailureTest, EachFailedStepFailsWithItsMessageAndLeavesTheOutputsAlone) {
  struct Case {
    ClipboardFaults fault;
    Operation operation;
    std::string message;
    bool earlierTextKept = true;
    // A write that fails part-way keeps the formats already handed over and frees the failed
    // block: the last format kept and the first one missing ("" for the Unicode text).
    std::string lastKept = {}, firstMissing = {};
  };
  const std::string refused = "RegisterClipboardFormat failed for: ";
  const std::string notOpened = "OpenClipboard failed";
  const std::string alloc = "GlobalAlloc failed", lock = "GlobalLock failed";
  const std::string setText = "SetClipboardData(CF_UNICODETEXT) failed";
  const std::string setXmss = "SetClipboardData failed for: XMSS";
  std::vector<Case> cases = {
      // A refused name stops before the clipboard is opened.
      {{.refusedName = u"Win-XMSS"}, SetXml, refused + "Win-XMSS"},
      {{.refusedName = u"Win-XMSS"}, GetXml, refused + "Win-XMSS"},
      {{.allocationsBeforeFailure = 0}, SetText, alloc},
      {{.locksBeforeFailure = 0}, SetText, lock},
      // Only handing the block over comes after the clipboard was emptied.
      {{.handOversBeforeFailure = 0}, SetText, setText, false},
      {{.locksBeforeFailure = 0}, GetXml, lock},
      {{.locksBeforeFailure = 0}, GetText, lock},
      // A probe whose every read failed reports the first failure.
      {{.locksBeforeFailure = 0}, Probe, lock},
      {{.errorAtEndOfEnumeration = 1418}, List, "EnumClipboardFormats failed"},
      // A zero-byte block cannot be locked: empty XML stops after the header format.
      {{}, SetEmptyXml, lock, false, "Mac-XMSS", "Win-XMSS"},
      {{.allocationsBeforeFailure = 2}, SetXml, alloc, false, "Win-XMSS", "XMSS"},
      {{.allocationsBeforeFailure = 5}, SetXml, alloc, false, "Win-ScriptStep", ""},
      {{.locksBeforeFailure = 5}, SetXml, lock, false, "Win-ScriptStep", ""},
      {{.handOversBeforeFailure = 2}, SetXml, setXmss, false, "Win-XMSS", "XMSS"},
      {{.handOversBeforeFailure = 5}, SetXml, setText, false, "Win-ScriptStep", ""},
  };
  // A clipboard held by another program fails every operation at once; the text's block is made
  // before opening and must be freed again.
  for (const Operation operation : {SetXml, GetXml, Probe, List, GetText, SetText})
    cases.push_back({{.openFails = true}, operation, notOpened});
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE("case " + std::to_string(i) + ": " + c.message);
    PutRawItems({{"Win-XMSS", 0, "<earlier/>"}, {"", 13, UnicodeTextBlock(u"before")}});
    Faults() = c.fault;
    std::string out = "untouched", error;
    EXPECT_FALSE(c.operation(out, error));
    EXPECT_EQ(error, c.message);
    EXPECT_EQ(out, "untouched");
    Faults() = {};
    EXPECT_EQ(BlockIdHolds(13, UnicodeTextBlock(u"before")), c.earlierTextKept);
    if (c.lastKept.empty()) continue;
    EXPECT_TRUE(Holds(c.lastKept));
    EXPECT_FALSE(Holds(c.firstMissing));
  }
}

} // namespace tideloom
