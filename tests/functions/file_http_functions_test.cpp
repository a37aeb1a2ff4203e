// The file and HTTP calculation functions: their checks in order, what they send, and what
// they answer.
#include <gtest/gtest.h>

#include <string>

#include "functions/file_http_functions.h"
#include "peer_client.h"
#include "platform/clipboard.h"
#include "temp_folder.h"

namespace tideloom {

namespace {

std::string Call(CalculationFunction function, std::vector<std::string> parameters) {
  return function({std::move(parameters), {}});
}

class FileHttpFunctions : public testing::Test {
protected:
  TempFolder folder;
  std::string prefix = UniquePrefix();
  std::string Url(const std::string& name) const { return PeerUrl(prefix + "/" + name); }
  std::vector<RecordedRequest> Sent() const { return RequestsUnder(prefix); }
};

TEST_F(FileHttpFunctions, ReadFileReturnsTheContentOrAPrefixedMessage) {
  EXPECT_EQ(Call(ReadFileFunction, {""}), "ERROR: path is empty.");
  EXPECT_EQ(Call(ReadFileFunction, {folder.Write("a.txt", "line\r\n")}), "line\r\n");
  EXPECT_EQ(Call(ReadFileFunction, {folder.Write("e.txt", "")}), "");
  const std::string missing = folder.Utf8(folder.root / "nope.txt");
  EXPECT_EQ(Call(ReadFileFunction, {missing}), "ERROR: Could not open file: " + missing);
}

TEST_F(FileHttpFunctions, HttpPostChecksInOrderAndReturnsTheReplyWhateverTheStatus) {
  EXPECT_EQ(Call(HttpPostFunction, {"", ""}), "ERROR: url is empty.");
  EXPECT_EQ(Call(HttpPostFunction, {Url("p"), ""}), "ERROR: jsonBody is empty.");
  EXPECT_EQ(Call(HttpPostFunction, {"example.com/api", "{}"}),
            "Failed to parse URL: example.com/api");
  ScriptPeer({{"path", prefix + "/p"}, {"status", 500}, {"body", "{\"error\":\"busy\"}"}});
  EXPECT_EQ(Call(HttpPostFunction, {Url("p"), "not json at all"}), "{\"error\":\"busy\"}");
  const RecordedRequest sent = OnlyRequestUnder(prefix);
  EXPECT_EQ(sent.body, "not json at all");
  EXPECT_EQ(HeaderValue(sent, "Content-Type"), "application/json");
}

TEST_F(FileHttpFunctions, PushSnapshotSendsTheFileAsBase64WithItsName) {
  EXPECT_EQ(Call(PushSnapshotFunction, {"", ""}), "ERROR: ingestUrl is empty.");
  EXPECT_EQ(Call(PushSnapshotFunction, {Url("s"), ""}), "ERROR: xmlPath is empty.");
  const std::string missing = folder.Utf8(folder.root) + "/gone.xml";
  EXPECT_EQ(Call(PushSnapshotFunction, {Url("s"), missing}),
            "ERROR: Could not open file: " + missing);

  folder.Write("snap.xml", "<a/>");
  ScriptPeer({{"path", prefix + "/s"}, {"status", 200}, {"body", "ingested"}});
  EXPECT_EQ(Call(PushSnapshotFunction, {Url("s"), folder.Utf8(folder.root) + "/snap.xml"}),
            "ingested");
  EXPECT_EQ(OnlyRequestUnder(prefix).body, "{\"content\":\"PGEvPg==\",\"filename\":\"snap.xml\"}");
}

TEST_F(FileHttpFunctions, PushScriptChecksInOrderAndSendsNothingWithoutXml) {
  EXPECT_EQ(Call(PushScriptFunction, {"", "", ""}), "ERROR: licenseKey is empty.");
  EXPECT_EQ(Call(PushScriptFunction, {"k", "", ""}), "ERROR: bridgeUrl is empty.");
  EXPECT_EQ(Call(PushScriptFunction, {"k", Url("push"), ""}), "ERROR: xmlType is empty.");
  std::string error;
  ASSERT_TRUE(SetClipboardText("just text", error)) << error;
  EXPECT_EQ(Call(PushScriptFunction, {"k", Url("push"), "XMSS"}),
            "ERROR: No XMSS XML on clipboard. Copy the FM object first.");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(FileHttpFunctions, PushScriptSendsTheClipboardXmlAndAnswersOkOnlyWhenAccepted) {
  const std::string xml =
      "<fmxmlsnippet type=\"FMObjectList\"><Step>\"caf\xC3\xA9\"</Step></fmxmlsnippet>";
  std::string error;
  ASSERT_TRUE(SetXmlClipboard("XMSS", xml, error)) << error;

  ScriptPeer({{"path", prefix + "/push"}, {"status", 204}, {"body", ""}});
  EXPECT_EQ(Call(PushScriptFunction, {"KEY", Url("push"), "XMSS"}), "OK");
  EXPECT_EQ(Call(PushScriptFunction, {"KEY", Url("push"), "XMSS", "My \"label\""}), "OK");
  const std::vector<RecordedRequest> sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  const std::string escapedXml =
      "<fmxmlsnippet type=\\\"FMObjectList\\\"><Step>\\\"caf\xC3\xA9\\\"</Step></fmxmlsnippet>";
  EXPECT_EQ(sent[0].target, prefix + "/push");
  EXPECT_EQ(sent[0].body, "{\"licenseKey\":\"KEY\",\"xmlType\":\"XMSS\",\"xmlContent\":\"" +
                              escapedXml + "\",\"label\":\"\"}");
  EXPECT_EQ(sent[1].body, "{\"licenseKey\":\"KEY\",\"xmlType\":\"XMSS\",\"xmlContent\":\"" +
                              escapedXml + "\",\"label\":\"My \\\"label\\\"\"}");
}

TEST_F(FileHttpFunctions, PushScriptReportsARefusalWithItsStatusAndABoundedExcerpt) {
  std::string error;
  ASSERT_TRUE(SetXmlClipboard("XMFD", "<field/>", error)) << error;
  // 299 ASCII bytes, then a 2-byte character straddling the 300-byte cut.
  const std::string body = std::string(299, 'e') + "\xC3\xA9" + "tail";
  ScriptPeer({{"path", prefix + "/refused"}, {"status", 403}, {"body", body}});
  ScriptPeer({{"path", prefix + "/short"}, {"status", 500}, {"body", "down"}});

  EXPECT_EQ(Call(PushScriptFunction, {"k", Url("refused"), "XMFD"}),
            "ERROR: HTTP 403: " + std::string(299, 'e'));
  EXPECT_EQ(Call(PushScriptFunction, {"k", Url("short"), "XMFD"}), "ERROR: HTTP 500: down");
  EXPECT_EQ(Call(PushScriptFunction, {"k", "http//bad", "XMFD"}), "Failed to parse URL: http//bad");
}

TEST_F(FileHttpFunctions, UploadFileSendsTheFormOrPassesTheReaderMessageOn) {
  EXPECT_EQ(Call(UploadFileFunction, {Url("up"), "k", "f.xml", ""}), "Cannot open file: ");
  EXPECT_TRUE(Sent().empty());
  const std::string path = folder.Write("f.xml", "<f/>");
  ScriptPeer({{"path", prefix + "/up"}, {"status", 400}, {"body", "bad upload"}});
  EXPECT_EQ(Call(UploadFileFunction, {Url("up"), "k", "f.xml", path}), "bad upload");
  EXPECT_EQ(OnlyRequestUnder(prefix).body.size(), 368u + 1 + 2 * 5 + 4);
}

} // namespace

} // namespace tideloom
