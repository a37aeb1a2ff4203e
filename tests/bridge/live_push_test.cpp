#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bridge/bridge_state.h"
#include "bridge/live_push_upload.h"
#include "bridge_fixture.h"
#include "temp_folder.h"

namespace tideloom {

namespace {

namespace fs = std::filesystem;

// Bytes that a text-mode path would mangle: NUL, CR LF, 0xFF, and an XML prolog.
constexpr char kSchemaRaw[] =
    "<?xml version=\"1.0\"?>\r\n<FMSaveAsXML>\0\xff\xE2\x80\x94</FMSaveAsXML>\n";
const std::string kSchemaBytes(kSchemaRaw, sizeof kSchemaRaw - 1);

fs::path FromUtf8(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

class LivePushTest : public BridgeTest {
protected:
  void SetUp() override {
    BridgeTest::SetUp();
    Register("KEY-1");
  }

  static void PendCommand(const std::string& target) {
    bridgeState().QueueSchemaWait("s1", target, 0);
  }

  static std::string OpenCommandTarget() { return bridgeState().ReadSchemaWait().targetFile; }

  // TideLoom.LivePush called from a script running in `currentFile`.
  static std::string Push(const std::string& path, const std::string& currentFile) {
    return LivePush(path, [currentFile] { return currentFile; });
  }

  TempFolder folder;
};

TEST_F(LivePushTest, EmptyPathIsRefusedBeforeAnythingElse) {
  PendCommand("Sales");
  EXPECT_EQ(LivePush("", [] { return std::string("Sales"); }), "ERROR: posixPath is empty.");
  EXPECT_EQ(HeldBackgroundTasks(), 0u);
  EXPECT_EQ(OpenCommandTarget(), "Sales");
}

TEST_F(LivePushTest, MatchedUploadSendsTheBytesDeletesTheCopyAndCompletesTheCommand) {
  PendCommand("sales");
  const std::string path =
      folder.Write("Sch\xC3\xA9ma \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\x84.xml", kSchemaBytes);
  EXPECT_EQ(Push(path, "Sales.fmp12"), "OK");
  EXPECT_EQ(OpenCommandTarget(), "") << "the command is taken before the upload runs";
  EXPECT_TRUE(Requests().empty()) << "the host's thread must not wait for the network";

  const auto requests = Sent();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/api/live/ingest/KEY-1?filename=sales.fmp12.xml");
  EXPECT_EQ(HeaderValue(requests[0], "Content-Type"), "application/octet-stream");
  EXPECT_EQ(requests[0].body, kSchemaBytes);
  EXPECT_EQ(requests[1].target, "/api/bridge/command/s1/complete");
  EXPECT_EQ(requests[1].body, R"({"licenseKey":"KEY-1","status":"completed"})");
  EXPECT_FALSE(fs::exists(FromUtf8(path)));

  PendCommand("Sales");
  EXPECT_EQ(Push(folder.Write("other.xml", kSchemaBytes), "Other"), "OK");
  const auto unmatched = Sent();
  ASSERT_EQ(unmatched.size(), 1u) << "an upload that answers nothing completes nothing";
  EXPECT_EQ(unmatched[0].target, "/api/live/ingest/KEY-1?filename=Other.fmp12.xml");
}

TEST_F(LivePushTest, UploadIsNamedAfterTheMatchedTargetElseTheCurrentOrRegisteredFile) {
  struct Case {
    const char* target; // empty: no command waits
    const char* current;
    const char* registered;
    bool matches;
    const char* uploadName;
  };
  const Case cases[] = {
      {"SALES", "sales", "", true, "SALES.fmp12.xml"},
      {"Sales.fmp12", "Sales", "", true, "Sales.fmp12.fmp12.xml"},
      {"Sales", "sales.fmp12", "", true, "Sales.fmp12.xml"},
      {"Sales.FMP12", "Sales", "", false, "Sales.fmp12.xml"},
      {"Sales", "Sales ", "", false, "Sales%20.fmp12.xml"},
      {"a.fmp12.fmp12", "A.FMP12", "", true, "a.fmp12.fmp12.fmp12.xml"},
      {".fmp12", "", "", false, "schema.fmp12.xml"},
      {"Sales", "Inv-2024_a.b~c (\xC3\xBC)", "", false, "Inv-2024_a.b~c%20%28%C3%BC%29.fmp12.xml"},
      {"Sales", "", "Reg File", false, "Reg%20File.fmp12.xml"},
      {"", "Current", "Reg File", false, "Reg%20File.fmp12.xml"},
      {"", "", "", false, "schema.fmp12.xml"},
  };
  Register("a b/c?\xC3\xA9");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.target) + " / " + c.current);
    bridgeState().ForgetSchemaCommand();
    if (*c.target != '\0') PendCommand(c.target);
    bridgeState().SetRegisteredFileName(c.registered);
    const LivePushUpload upload = PrepareLivePushUpload("/x.xml", c.current);
    EXPECT_EQ(upload.commandId, c.matches ? "s1" : "");
    EXPECT_EQ(OpenCommandTarget(), c.matches ? "" : c.target);
    EXPECT_EQ(upload.uploadUrl,
              BaseUrl() + "/api/live/ingest/a%20b%2Fc%3F%C3%A9?filename=" + c.uploadName);
    EXPECT_EQ(upload.licenseKey, "a b/c?\xC3\xA9") << "the completion carries the key as it is";
  }
}

// The outcome goes to the service only: the reader's or the HTTP layer's message. The copy is
// deleted all the same, but a folder given as the copy is never removed.
TEST_F(LivePushTest, FailedUploadFailsTheMatchedCommandAndStillDeletesOnlyTheCopy) {
  PendCommand("Sales");
  const std::string missing = folder.Utf8(folder.root / "missing.xml");
  EXPECT_EQ(Push(missing, "Sales"), "OK");
  const auto requests = Sent();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/api/bridge/command/s1/complete");
  EXPECT_EQ(nlohmann::json::parse(requests[0].body),
            nlohmann::json({{"licenseKey", "KEY-1"},
                            {"status", "failed"},
                            {"error", "Upload failed: Cannot open file: " + missing}}));
  PendCommand("Sales");
  EXPECT_EQ(Push(folder.Utf8(folder.root), "Sales"), "OK");
  Sent();
  EXPECT_TRUE(fs::is_directory(folder.root));

  const std::string path = folder.Write("Sales.xml", kSchemaBytes);
  UploadLivePushFile({UnreachableBaseUrl() + "/api/live/ingest/KEY-1?filename=Sales.fmp12.xml",
                      path, "Sales", "s1", BaseUrl(), "KEY-1"});
  EXPECT_FALSE(fs::exists(FromUtf8(path)));
  const auto completion = nlohmann::json::parse(Requests().back().body);
  EXPECT_EQ(completion["status"], "failed");
  const std::string error = completion["error"];
  EXPECT_TRUE(error.starts_with("Upload failed: ") && error.size() > 15) << error;
}

} // namespace

} // namespace tideloom
