// Each failure's message and what the clipboard holds afterwards. The fixture checks on every
// path that the clipboard was closed and that no block was lost.
#include <string>

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
}

TEST_F(ClipboardFailureTest, TheSystemRefusesFormatNamesLongerThan255Characters) {
  const std::string key(260, 'K');
  std::string error;
  EXPECT_FALSE(SetXmlClipboard(key, kXml, error));
  EXPECT_EQ(error, "RegisterClipboardFormat failed for: Mac-" + key);
  EXPECT_TRUE(StillHoldsTheEarlierText());
}

TEST_F(ClipboardFailureTest, AClipboardHeldByAnotherProgramFailsEveryOperationAtOnce) {
  Faults().openFails = true;
  std::string error;
  EXPECT_FALSE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_EQ(error, "OpenClipboard failed");
  error.clear();
  std::string out = "untouched";
  EXPECT_FALSE(GetXmlClipboard("XMSS", out, error));
  EXPECT_EQ(error, "OpenClipboard failed");
  error.clear();
  EXPECT_FALSE(ListClipboardFormats(out, error));
  EXPECT_EQ(error, "OpenClipboard failed");
  error.clear();
  EXPECT_FALSE(GetClipboardText(out, error));
  EXPECT_EQ(error, "OpenClipboard failed");
  error.clear();
  // The text's block was made before opening; it must be freed again.
  EXPECT_FALSE(SetClipboardText("new", error));
  EXPECT_EQ(error, "OpenClipboard failed");
  EXPECT_EQ(out, "untouched");
  Faults().openFails = false;
  EXPECT_TRUE(StillHoldsTheEarlierText());
}

TEST_F(ClipboardFailureTest, AFailedAllocationKeepsTheFormatsAlreadyHandedOver) {
  Faults().allocationsBeforeFailure = 2;
  std::string error;
  EXPECT_FALSE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_EQ(error, "GlobalAlloc failed");
  EXPECT_TRUE(Holds("Mac-XMSS"));
  EXPECT_TRUE(Holds("Win-XMSS"));
  EXPECT_FALSE(Holds("XMSS"));
  EXPECT_FALSE(StillHoldsTheEarlierText()) << "the clipboard was emptied first";
}

TEST_F(ClipboardFailureTest, AFailedAllocationForTheTextKeepsAllXmlFormats) {
  Faults().allocationsBeforeFailure = 5;
  std::string error;
  EXPECT_FALSE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_EQ(error, "GlobalAlloc failed");
  EXPECT_TRUE(Holds("Win-ScriptStep"));
  std::string text;
  EXPECT_FALSE(ReadRawId(13, text));
}

TEST_F(ClipboardFailureTest, ABlockThatCannotBeLockedIsFreed) {
  Faults().locksBeforeFailure = 1;
  std::string error;
  EXPECT_FALSE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_EQ(error, "GlobalLock failed");
  EXPECT_TRUE(Holds("Mac-XMSS"));
  EXPECT_FALSE(Holds("Win-XMSS"));

  Faults().locksBeforeFailure = 5;
  EXPECT_FALSE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_EQ(error, "GlobalLock failed");
  EXPECT_TRUE(Holds("Win-ScriptStep"));
}

TEST_F(ClipboardFailureTest, AFormatTheClipboardDoesNotTakeIsNamedAndItsBlockFreed) {
  Faults().handOversBeforeFailure = 2;
  std::string error;
  EXPECT_FALSE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_EQ(error, "SetClipboardData failed for: XMSS");
  EXPECT_TRUE(Holds("Win-XMSS"));
  EXPECT_FALSE(Holds("XMSS"));

  Faults().handOversBeforeFailure = 5;
  EXPECT_FALSE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_EQ(error, "SetClipboardData(CF_UNICODETEXT) failed");
  EXPECT_TRUE(Holds("Win-ScriptStep"));
}

TEST_F(ClipboardFailureTest, WritingTextFailsWithTheStepsMessageAndFreesItsBlock) {
  std::string error;
  Faults().allocationsBeforeFailure = 0;
  EXPECT_FALSE(SetClipboardText("new", error));
  EXPECT_EQ(error, "GlobalAlloc failed");
  EXPECT_TRUE(StillHoldsTheEarlierText());

  Faults() = {};
  Faults().locksBeforeFailure = 0;
  EXPECT_FALSE(SetClipboardText("new", error));
  EXPECT_EQ(error, "GlobalLock failed");
  EXPECT_TRUE(StillHoldsTheEarlierText());

  Faults() = {};
  Faults().handOversBeforeFailure = 0;
  EXPECT_FALSE(SetClipboardText("new", error));
  EXPECT_EQ(error, "SetClipboardData(CF_UNICODETEXT) failed");
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
  std::string error = "earlier";
  std::string out;
  EXPECT_TRUE(SetXmlClipboard("XMSS", kXml, error));
  EXPECT_TRUE(GetXmlClipboard("XMSS", out, error));
  EXPECT_TRUE(ListClipboardFormats(out, error));
  EXPECT_TRUE(GetClipboardText(out, error));
  EXPECT_TRUE(SetClipboardText("x", error));
  EXPECT_EQ(error, "earlier");
}

} // namespace
