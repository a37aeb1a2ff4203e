// Each failure's message and what the clipboard holds afterwards. The fixture checks on every
// path that the clipboard was closed and that no block was lost.
#include <functional>
#include <string>
#include <vector>

#include "clipboard_fixture.h"
#include "platform/clipboard.h"

namespace {

const std::string kXml = "<fmxmlsnippet><Step/></fmxmlsnippet>";

class ClipboardFailureTest : public ClipboardTest {
protected:
  // A clipboard holding something that a failed write must not (or must) have replaced.
  void SetUp() override {
    ClipboardTest::SetUp();
    PutRawItems({{"", 13, UnicodeTextBlock(u"before")}});
  }
  static bool StillHoldsTheEarlierText() { return BlockIdHolds(13, UnicodeTextBlock(u"before")); }
  static bool Holds(std::string_view formatName) {
    std::string bytes;
    return ReadRaw(formatName, bytes);
  }
};

TEST_F(ClipboardFailureTest, ARefusedFormatNameStopsBeforeTheClipboardIsOpened) {
  Faults().refusedName = u"Win-XMSS";
  std::string error;
  EXPECT_FALSE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_EQ(error, "RegisterClipboardFormat failed for: Win-XMSS");
  EXPECT_TRUE(StillHoldsTheEarlierText());

  std::string xml = "untouched";
  EXPECT_FALSE(GetXmlClipboard("XMSS", xml, error));
  EXPECT_EQ(error, "RegisterClipboardFormat failed for: Win-XMSS");
  EXPECT_EQ(xml, "untouched");

  // The system refuses names longer than 255 characters.
  const std::string key(260, 'K');
  EXPECT_FALSE(SetXmlClipboard(key, kXml, error));
  EXPECT_EQ(error, "RegisterClipboardFormat failed for: Mac-" + key);
  EXPECT_TRUE(StillHoldsTheEarlierText());
}

TEST_F(ClipboardFailureTest, AClipboardHeldByAnotherProgramFailsEveryOperationAtOnce) {
  Faults().openFails = true;
  std::string out = "untouched", key;
  const std::vector<std::function<bool(std::string&)>> operations = {
      [&](std::string& error) { return SetXmlClipboard("XMSS", kXml, error); },
      [&](std::string& error) { return GetXmlClipboard("XMSS", out, error); },
      [&](std::string& error) { return ListClipboardFormats(out, error); },
      [&](std::string& error) { return GetClipboardText(out, error); },
      [&](std::string& error) { return ProbeXmlClipboard(key, out, error); },
      // The text's block is made before opening; it must be freed again.
      [&](std::string& error) { return SetClipboardText("new", error); }};
  for (const auto& operation : operations) {
    std::string error;
    EXPECT_FALSE(operation(error));
    EXPECT_EQ(error, "OpenClipboard failed");
  }
  EXPECT_EQ(out, "untouched");
  Faults().openFails = false;
  EXPECT_TRUE(StillHoldsTheEarlierText());
}

// A write that fails part-way keeps the formats already handed over, frees the failed block,
// and names the failed step; the clipboard was emptied first.
TEST_F(ClipboardFailureTest, AWriteFailingPartWayKeepsWhatWasHandedOverAndNamesTheStep) {
  struct Case {
    int ClipboardFaults::*countdown;
    int passed;
    std::string message, lastKept;
    std::string firstMissing; // "" for the Unicode text
  };
  const std::vector<Case> cases = {
      {&ClipboardFaults::allocationsBeforeFailure, 2, "GlobalAlloc failed", "Win-XMSS", "XMSS"},
      {&ClipboardFaults::allocationsBeforeFailure, 5, "GlobalAlloc failed", "Win-ScriptStep", ""},
      {&ClipboardFaults::locksBeforeFailure, 1, "GlobalLock failed", "Mac-XMSS", "Win-XMSS"},
      {&ClipboardFaults::locksBeforeFailure, 5, "GlobalLock failed", "Win-ScriptStep", ""},
      {&ClipboardFaults::handOversBeforeFailure, 2, "SetClipboardData failed for: XMSS", "Win-XMSS",
       "XMSS"},
      {&ClipboardFaults::handOversBeforeFailure, 5, "SetClipboardData(CF_UNICODETEXT) failed",
       "Win-ScriptStep", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message + " after " + std::to_string(c.passed));
    PutRawItems({{"", 13, UnicodeTextBlock(u"before")}});
    Faults() = {};
    Faults().*c.countdown = c.passed;
    std::string error;
    EXPECT_FALSE(SetXmlClipboard("XMSS", kXml, error));
    EXPECT_EQ(error, c.message);
    EXPECT_TRUE(Holds(c.lastKept));
    std::string bytes;
    EXPECT_FALSE(c.firstMissing.empty() ? ReadRawId(13, bytes) : Holds(c.firstMissing));
    EXPECT_FALSE(StillHoldsTheEarlierText());
  }
}

TEST_F(ClipboardFailureTest, WritingTextFailsWithTheStepsMessageAndFreesItsBlock) {
  for (const auto& [countdown, message] :
       {std::pair{&ClipboardFaults::allocationsBeforeFailure, "GlobalAlloc failed"},
        {&ClipboardFaults::locksBeforeFailure, "GlobalLock failed"},
        {&ClipboardFaults::handOversBeforeFailure, "SetClipboardData(CF_UNICODETEXT) failed"}}) {
    Faults() = {};
    Faults().*countdown = 0;
    std::string error;
    EXPECT_FALSE(SetClipboardText("new", error));
    EXPECT_EQ(error, message);
    // Only handing the block over comes after the clipboard was emptied.
    EXPECT_EQ(StillHoldsTheEarlierText(), countdown != &ClipboardFaults::handOversBeforeFailure);
  }
}

TEST_F(ClipboardFailureTest, ReadingABlockThatCannotBeLockedReturnsNothing) {
  std::string error;
  ASSERT_TRUE(SetXmlClipboard("XMSS", kXml, error)) << error;
  Faults().locksBeforeFailure = 0;
  std::string out = "untouched";
  EXPECT_FALSE(GetXmlClipboard("XMSS", out, error));
  EXPECT_EQ(error, "GlobalLock failed");
  error.clear();
  EXPECT_FALSE(GetClipboardText(out, error));
  EXPECT_EQ(error, "GlobalLock failed");
  EXPECT_EQ(out, "untouched");
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
