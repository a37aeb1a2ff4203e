// Every system call made to fail: each failure's message, that the outputs stay untouched, and
// what the clipboard holds afterwards. The fixture checks on every path that the clipboard was
// closed and that no block was lost.
#include <string>
#include <vector>

#include "clipboard_fixture.h"
#include "platform/clipboard.h"

namespace tideloom {

namespace {

const std::string kXml = "<fmxmlsnippet><Step/></fmxmlsnippet>";
const std::string kLongKey(260, 'K'); // the system refuses names longer than 255 characters

using Operation = bool (*)(std::string& out, std::string& error);
bool SetXml(std::string&, std::string& error) { return SetXmlClipboard("XMSS", kXml, error); }
bool SetLongKey(std::string&, std::string& e) { return SetXmlClipboard(kLongKey, kXml, e); }
bool GetXml(std::string& out, std::string& error) { return GetXmlClipboard("XMSS", out, error); }
bool List(std::string& out, std::string& error) { return ListClipboardFormats(out, error); }
bool GetText(std::string& out, std::string& error) { return GetClipboardText(out, error); }
bool SetText(std::string&, std::string& error) { return SetClipboardText("new", error); }
bool Probe(std::string& out, std::string& error) {
  std::string key;
  return ProbeXmlClipboard(key, out, error);
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
  const std::vector<Case> cases = {
      // A refused name stops before the clipboard is opened.
      {{.refusedName = u"Win-XMSS"}, SetXml, refused + "Win-XMSS"},
      {{.refusedName = u"Win-XMSS"}, GetXml, refused + "Win-XMSS"},
      {{}, SetLongKey, refused + "Mac-" + kLongKey},
      // A clipboard held by another program fails every operation at once; the text's block
      // is made before opening and must be freed again.
      {{.openFails = true}, SetXml, notOpened},
      {{.openFails = true}, GetXml, notOpened},
      {{.openFails = true}, Probe, notOpened},
      {{.openFails = true}, List, notOpened},
      {{.openFails = true}, GetText, notOpened},
      {{.openFails = true}, SetText, notOpened},
      {{.allocationsBeforeFailure = 0}, SetText, alloc},
      {{.locksBeforeFailure = 0}, SetText, lock},
      // Only handing the block over comes after the clipboard was emptied.
      {{.handOversBeforeFailure = 0}, SetText, setText, false},
      {{.locksBeforeFailure = 0}, GetXml, lock},
      {{.locksBeforeFailure = 0}, GetText, lock},
      // A probe whose every read failed reports the first failure.
      {{.locksBeforeFailure = 0}, Probe, lock},
      {{.errorAtEndOfEnumeration = 1418}, List, "EnumClipboardFormats failed"},
      {{.allocationsBeforeFailure = 2}, SetXml, alloc, false, "Win-XMSS", "XMSS"},
      {{.allocationsBeforeFailure = 5}, SetXml, alloc, false, "Win-ScriptStep", ""},
      {{.locksBeforeFailure = 1}, SetXml, lock, false, "Mac-XMSS", "Win-XMSS"},
      {{.locksBeforeFailure = 5}, SetXml, lock, false, "Win-ScriptStep", ""},
      {{.handOversBeforeFailure = 2},
       SetXml,
       "SetClipboardData failed for: XMSS",
       false,
       "Win-XMSS",
       "XMSS"},
      {{.handOversBeforeFailure = 5}, SetXml, setText, false, "Win-ScriptStep", ""},
  };
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

TEST_F(ClipboardFailureTest, AFailedReadFailsTheProbeOnlyWhenNoLaterKeyWins) {
  PutRawItems({{"Win-XMSC", 0, "<script/>"}, {"Win-XMVL", 0, "<list/>"}});
  // Only the scripts' block cannot be locked: the value list still wins.
  Faults().locksBeforeFailure = 0;
  Faults().lockFailures = 1;
  std::string key, xml, error = "earlier";
  EXPECT_TRUE(ProbeXmlClipboard(key, xml, error));
  EXPECT_EQ(key, "XMVL");
  EXPECT_EQ(xml, "<list/>");
  EXPECT_EQ(error, "");
}

TEST_F(ClipboardFailureTest, SuccessLeavesTheErrorOutputAlone) {
  std::string error = "earlier", out;
  EXPECT_TRUE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_TRUE(GetXmlClipboard("XMSS", out, error));
  EXPECT_TRUE(ListClipboardFormats(out, error));
  EXPECT_TRUE(GetClipboardText(out, error));
  EXPECT_TRUE(SetClipboardText("x", error));
  EXPECT_EQ(error, "earlier");
}

} // namespace

} // namespace tideloom
