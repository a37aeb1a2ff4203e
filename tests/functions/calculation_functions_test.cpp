// The calculation functions once their parameters are read: their own checks in order, what
// they send, what they answer, and the clipboard's and the reader's messages passed on unchanged.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "clipboard_fixture.h"
#include "functions/clipboard_functions.h"
#include "functions/file_http_functions.h"
#include "peer_client.h"
#include "temp_folder.h"

namespace tideloom {

namespace {

using clipboard_functions::DetectXmlType;

const std::string kScript = "<fmxmlsnippet type=\"FMObjectList\"><Script id=\"1\" name=\"Go\">"
                            "<Step id=\"89\" name=\"# (comment)\"/></Script></fmxmlsnippet>";

TEST(DetectXmlTypeTest, TheFirstMarkerInSearchOrderDecides) {
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

std::string Call(CalculationFunction function, std::vector<std::string> parameters) {
  return function({std::move(parameters), {}});
}

class FileHttpFunctions : public PeerTest {
protected:
  TempFolder folder;
  std::vector<RecordedRequest> Sent() const { return RequestsUnder(prefix); }
};

TEST_F(FileHttpFunctions, ParametersAreCheckedInOrderBeforeAnythingIsSent) {
  const std::string missing = folder.Utf8(folder.root / "nope.txt");
  const std::tuple<CalculationFunction, std::vector<std::string>, std::string> cases[] = {
      {ReadFileFunction, {""}, "ERROR: path is empty."},
      {ReadFileFunction, {folder.Write("a.txt", "line\r\n")}, "line\r\n"},
      {ReadFileFunction, {folder.Write("e.txt", "")}, ""},
      {ReadFileFunction, {missing}, "ERROR: Could not open file: " + missing},
      {HttpPostFunction, {"", ""}, "ERROR: url is empty."},
      {HttpPostFunction, {Url("p"), ""}, "ERROR: jsonBody is empty."},
      {HttpPostFunction, {"example.com/api", "{}"}, "Failed to parse URL: example.com/api"},
      {PushSnapshotFunction, {"", ""}, "ERROR: ingestUrl is empty."},
      {PushSnapshotFunction, {Url("s"), ""}, "ERROR: xmlPath is empty."},
      {PushSnapshotFunction, {Url("s"), missing}, "ERROR: Could not open file: " + missing},
      {PushScriptFunction, {"", "", ""}, "ERROR: licenseKey is empty."},
      {PushScriptFunction, {"k", "", ""}, "ERROR: bridgeUrl is empty."},
      {PushScriptFunction, {"k", Url("push"), ""}, "ERROR: xmlType is empty."},
      {PushScriptFunction,
       {"k", Url("push"), "XMSS"},
       "ERROR: No XMSS XML on clipboard. Copy the FM object first."},
      {UploadFileFunction, {Url("up"), "k", "f.xml", ""}, "Cannot open file: "},
  };
  ASSERT_EQ(clipboard_functions::SetText("just text"), "OK");
  for (const auto& [function, parameters, expected] : cases)
    EXPECT_EQ(Call(function, parameters), expected) << parameters[0];
  EXPECT_TRUE(Sent().empty());
}

TEST_F(FileHttpFunctions, HttpPostPushSnapshotAndUploadFileReturnTheReplyWhateverTheStatus) {
  ScriptPeer({{"path", Path("p")}, {"status", 500}, {"body", "{\"error\":\"busy\"}"}});
  EXPECT_EQ(Call(HttpPostFunction, {Url("p"), "not json at all"}), "{\"error\":\"busy\"}");
  ScriptPeer({{"path", Path("s")}, {"status", 200}, {"body", "ingested"}});
  folder.Write("snap.xml", "<a/>");
  EXPECT_EQ(Call(PushSnapshotFunction, {Url("s"), folder.Utf8(folder.root) + "/snap.xml"}),
            "ingested");
  ScriptPeer({{"path", Path("up")}, {"status", 400}, {"body", "bad upload"}});
  const std::string path = folder.Write("f.xml", "<f/>");
  EXPECT_EQ(Call(UploadFileFunction, {Url("up"), "k", "f.xml", path}), "bad upload");
  const std::vector<RecordedRequest> sent = Sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].body, "not json at all");
  EXPECT_EQ(sent[1].body, "{\"content\":\"PGEvPg==\",\"filename\":\"snap.xml\"}");
  EXPECT_EQ(sent[2].body.size(), 368u + 1 + 2 * 5 + 4);
}

TEST_F(FileHttpFunctions,
       PushScriptSendsTheClipboardXmlAndAnswersOkOnlyWhenAcceptedElseTheStatusAndAnExcerpt) {
  ASSERT_EQ(clipboard_functions::SetXml("XMSS", "<Step>\"caf\xC3\xA9\"</Step>"), "OK");
  ScriptPeer({{"path", Path("push")}, {"status", 204}, {"body", ""}});
  EXPECT_EQ(Call(PushScriptFunction, {"KEY", Url("push"), "XMSS"}), "OK");
  EXPECT_EQ(Call(PushScriptFunction, {"KEY", Url("push"), "XMSS", "My \"label\""}), "OK");
  const std::string head = R"({"licenseKey":"KEY","xmlType":"XMSS","xmlContent":"<Step>\"caf)"
                           "\xC3\xA9"
                           R"(\"</Step>","label":")";
  const std::vector<RecordedRequest> sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].body, head + "\"}");
  EXPECT_EQ(sent[1].body, head + R"(My \"label\""})");

  // A refusal names its status and an excerpt: 299 ASCII bytes, then a 2-byte character
  // straddling the 300-byte cut.
  const std::string body = std::string(299, 'e') + "\xC3\xA9" + "tail";
  ScriptPeer({{"path", Path("refused")}, {"status", 403}, {"body", body}});
  ScriptPeer({{"path", Path("short")}, {"status", 500}, {"body", "down"}});
  EXPECT_EQ(Call(PushScriptFunction, {"k", Url("refused"), "XMSS"}),
            "ERROR: HTTP 403: " + std::string(299, 'e'));
  EXPECT_EQ(Call(PushScriptFunction, {"k", Url("short"), "XMSS"}), "ERROR: HTTP 500: down");
  EXPECT_EQ(Call(PushScriptFunction, {"k", "http//bad", "XMSS"}), "Failed to parse URL: http//bad");
}

} // namespace

} // namespace tideloom
