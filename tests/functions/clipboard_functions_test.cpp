// The six clipboard functions once their parameters are read: their own checks in order, and the
// clipboard's messages passed on unchanged.
#include <optional>
#include <string>

#include "clipboard_fixture.h"
#include "functions/clipboard_functions.h"
#include "platform/clipboard.h"

namespace tideloom {

namespace {

using clipboard_functions::DetectXmlType;

const std::string kScript = "<fmxmlsnippet type=\"FMObjectList\"><Script id=\"1\" name=\"Go\">"
                            "<Step id=\"89\" name=\"# (comment)\"/></Script></fmxmlsnippet>";

TEST(DetectXmlTypeTest, TheFirstMarkerInSearchOrderDecides) {
  EXPECT_EQ(DetectXmlType("<Step/>"), "XMSS");
  EXPECT_EQ(DetectXmlType(kScript), "XMSS") << "a whole script holds steps";
  EXPECT_EQ(DetectXmlType("<Script name=\"a\"></Script>"), "XMSC");
  EXPECT_EQ(DetectXmlType("<Group ScriptUUID=\"1\"/><Table/>"), "XMSC");
  EXPECT_EQ(DetectXmlType("<BaseTable name=\"T\"><Field/></BaseTable>"), "XMTB");
  EXPECT_EQ(DetectXmlType("<Table name=\"T\"><Field/></Table>"), "XMTB");
  EXPECT_EQ(DetectXmlType("<Field name=\"F\"/><ValueList/>"), "XMFD");
  EXPECT_EQ(DetectXmlType("<FieldDefinition/>"), "XMFD") << "longer names match as well";
  EXPECT_EQ(DetectXmlType("<ValueList name=\"V\"/><CustomFunction/>"), "XMVL");
  EXPECT_EQ(DetectXmlType("<CustomFunction name=\"C\"/>"), "XMFN");
  EXPECT_EQ(DetectXmlType("<fmxmlsnippet><Layout/></fmxmlsnippet>"), "XML2");
  EXPECT_EQ(DetectXmlType("<step/><script/><FIELD/>"), "XML2") << "the search is case-sensitive";
  EXPECT_EQ(DetectXmlType(""), "XML2");
}

using ClipboardFunctionsTest = ClipboardTest;

TEST_F(ClipboardFunctionsTest, SetXmlChecksTheTypeThenTheContentThenWritesUnderTheKeyAsGiven) {
  using clipboard_functions::SetXml;
  EXPECT_EQ(SetXml("", ""), "ERROR: xmlType is empty.");
  EXPECT_EQ(SetXml("XMSS", ""), "ERROR: xmlContent is empty.");
  EXPECT_EQ(SetXml(" xmss", "<x/>"), "OK");
  EXPECT_TRUE(BlockHolds(" xmss", "<x/>"));
}

TEST_F(ClipboardFunctionsTest, GetXmlProbesForEmptyAutoAndLowercaseAutoOnly) {
  using clipboard_functions::GetXml;
  PutRawItems({{"Win-XMSC", 0, "<script/>"}, {"Win-XMSS", 0, "<steps/>"}, {"Mac-Auto", 0, "<a/>"}});
  EXPECT_EQ(GetXml(""), "<steps/>");
  EXPECT_EQ(GetXml("AUTO"), "<steps/>");
  EXPECT_EQ(GetXml("auto"), "<steps/>");
  EXPECT_EQ(GetXml("Auto"), "<a/>") << "other spellings are ordinary keys";
  EXPECT_EQ(GetXml("XMSC"), "<script/>");
  EXPECT_EQ(GetXml("XMFD"), "");

  PutRaw("Unrelated", "<x/>");
  EXPECT_EQ(GetXml("AUTO"), "") << "nothing found is not an error";
}

// Reading text answers "" on any failure; every other function passes the message on.
TEST_F(ClipboardFunctionsTest, AClipboardThatCannotBeOpenedGivesTheOpenMessage) {
  using namespace clipboard_functions;
  ASSERT_EQ(SetText("kept"), "OK");
  Faults().openFails = true;
  EXPECT_EQ(GetText(), "");
  for (const std::string& result : {SetText("x"), SetXml("XMSS", kScript), GetXml("AUTO"),
                                    GetXml("XMSC"), Formats(), PrepareXml(std::nullopt)}) {
    EXPECT_EQ(result, "OpenClipboard failed");
  }
}

// The clipboard's text is checked before the type; the types' layouts are the clipboard's own.
TEST_F(ClipboardFunctionsTest, PrepareXmlRewritesSnippetTextUnderTheChosenOrDetectedType) {
  using clipboard_functions::PrepareXml;
  EXPECT_EQ(PrepareXml(std::nullopt), "ERROR: plain text clipboard is empty.");
  PutText("");
  EXPECT_EQ(PrepareXml(std::string("XMSS")), "ERROR: plain text clipboard is empty.");
  for (const char* notSnippet : {"<fmxmlsnipp", "<FMXMLSNIPPET><Step/>", "plain words"}) {
    PutText(notSnippet);
    EXPECT_EQ(PrepareXml(std::string("XMSS")),
              "ERROR: clipboard text does not look like fmxmlsnippet XML.")
        << notSnippet;
  }
  PutText(kScript);
  EXPECT_EQ(PrepareXml(std::string()), "ERROR: xmlType is empty.");
  EXPECT_EQ(PrepareXml(std::nullopt), "OK: XMSS");
  EXPECT_TRUE(BlockHolds("ScriptStep", kScript));
  EXPECT_EQ(PrepareXml(std::string("XMSC")), "OK: XMSC") << "a given type is not checked";
  EXPECT_TRUE(BlockHolds("Win-Script", kScript));
  Faults().handOversBeforeFailure = 0;
  EXPECT_EQ(PrepareXml(std::nullopt), "SetClipboardData failed for: Mac-XMSS");
}

} // namespace

} // namespace tideloom
