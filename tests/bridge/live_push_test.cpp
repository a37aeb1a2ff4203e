#include "schema/live_push.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>

#include "bridge/bridge_state.h"
#include "bridge_fixture.h"
#include "platform/file_removal.h"

namespace {

namespace fs = std::filesystem;

// Bytes that a text-mode path would mangle: NUL, CR LF, 0xFF, and an XML prolog.
constexpr char kSchemaRaw[] =
    "<?xml version=\"1.0\"?>\r\n<FMSaveAsXML>\0\xff\xE2\x80\x94</FMSaveAsXML>\n";
const std::string kSchemaBytes(kSchemaRaw, sizeof kSchemaRaw - 1);

// A fresh folder, so that runs side by side never share copies.
fs::path UniqueTempFolder(const std::string& prefix) {
  static std::random_device entropy;
  fs::path folder;
  do {
    folder = fs::temp_directory_path() / (prefix + std::to_string(entropy()));
  } while (!fs::create_directories(folder));
  return folder;
}

fs::path FromUtf8(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

class LivePushTest : public BridgeTest {
protected:
  void SetUp() override {
    BridgeTest::SetUp();
    Register("KEY-1");
    folder_ = UniqueTempFolder("tideloom-live-push-");
  }

  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    BridgeTest::TearDown();
  }

  // Writes a saved copy under `name` and returns its UTF-8 path.
  std::string SaveCopy(const std::string& name, const std::string& bytes = kSchemaBytes) {
    const fs::path path = folder_ / FromUtf8(name);
    std::ofstream(path, std::ios::binary) << bytes;
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
  }

  static bool Exists(const std::string& utf8Path) { return fs::exists(FromUtf8(utf8Path)); }

  static void PendCommand(const std::string& id, const std::string& target,
                          const std::string& registered = "Registered") {
    const std::lock_guard<std::mutex> lock(stateMutex());
    bridgeState().schemaCommandId = id;
    bridgeState().schemaTargetFile = target;
    bridgeState().registeredFileName = registered;
  }

  static std::pair<std::string, std::string> SchemaCommand() {
    const std::lock_guard<std::mutex> lock(stateMutex());
    return {bridgeState().schemaCommandId, bridgeState().schemaTargetFile};
  }

  // TideLoom.LivePush called from a script running in `currentFile`.
  std::string Push(const std::string& path, const std::string& currentFile) {
    return LivePush(path, [currentFile] { return currentFile; });
  }

  fs::path folder_;
};

TEST_F(LivePushTest, EmptyPathIsRefusedBeforeAnythingElse) {
  PendCommand("s1", "Sales");
  int lookups = 0;
  const auto currentFile = [&lookups] {
    ++lookups;
    return std::string("Sales");
  };
  EXPECT_EQ(LivePush("", currentFile), "ERROR: posixPath is empty.");
  EXPECT_EQ(lookups, 0);
  EXPECT_EQ(HeldBackgroundTasks(), 0u);
  EXPECT_EQ(SchemaCommand(), std::make_pair(std::string("s1"), std::string("Sales")));
}

TEST_F(LivePushTest, MatchedUploadSendsTheBytesDeletesTheCopyAndCompletesTheCommand) {
  PendCommand("s1", "sales");
  const std::string path = SaveCopy("Sales.xml");
  EXPECT_EQ(Push(path, "Sales.fmp12"), "OK");
  EXPECT_EQ(SchemaCommand(), std::make_pair(std::string(), std::string()))
      << "the command is taken before the upload runs";
  EXPECT_TRUE(server.Requests().empty()) << "the host's thread must not wait for the network";

  RunBackgroundTasks();
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/api/live/ingest/KEY-1?filename=sales.fmp12.xml");
  EXPECT_EQ(requests[0].contentType, "application/octet-stream");
  EXPECT_EQ(requests[0].body, kSchemaBytes);
  EXPECT_EQ(requests[1].target, "/api/bridge/command/s1/complete");
  EXPECT_EQ(requests[1].body, R"({"licenseKey":"KEY-1","status":"completed"})");
  EXPECT_FALSE(Exists(path));
}

TEST_F(LivePushTest, TargetAndCurrentFileMatchAcrossCaseAndLowerCaseExtension) {
  struct Case {
    const char* target;
    const char* current;
    bool matches;
    const char* uploadName;
  };
  const Case cases[] = {
      {"SALES", "sales", true, "SALES.fmp12.xml"},
      {"Sales.fmp12", "Sales", true, "Sales.fmp12.fmp12.xml"},
      {"Sales", "sales.fmp12", true, "Sales.fmp12.xml"},
      {"Sales.FMP12", "Sales", false, "Sales.fmp12.xml"},
      {"Sales", "Sales ", false, "Sales%20.fmp12.xml"},
  };
  for (const Case& c : cases) {
    PendCommand("s1", c.target);
    const auto upload = PrepareLivePushUpload("/x.xml", c.current);
    EXPECT_EQ(upload.commandId, c.matches ? "s1" : "") << c.target << " / " << c.current;
    EXPECT_EQ(SchemaCommand().first, c.matches ? "" : "s1") << c.target << " / " << c.current;
    EXPECT_EQ(upload.uploadUrl.substr(upload.uploadUrl.find("?filename=") + 10), c.uploadName)
        << c.target << " / " << c.current;
  }
}

TEST_F(LivePushTest, UnmatchedUploadIsNamedAfterTheCurrentFileAndLeavesTheCommandOpen) {
  PendCommand("s1", "Sales");
  const std::string path = SaveCopy("other.xml");
  EXPECT_EQ(Push(path, "Inv-2024_a.b~c (\xC3\xBC\xE6\x97\xA5)"), "OK");
  RunBackgroundTasks();
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u) << "an upload that answers nothing completes nothing";
  EXPECT_EQ(requests[0].target, "/api/live/ingest/KEY-1?filename="
                                "Inv-2024_a.b~c%20%28%C3%BC%E6%97%A5%29.fmp12.xml");
  EXPECT_EQ(SchemaCommand(), std::make_pair(std::string("s1"), std::string("Sales")));
  EXPECT_FALSE(Exists(path));
}

TEST_F(LivePushTest, UnmatchedUploadIsNamedAfterTheRegisteredFileOrSchemaWhenNoneIsCurrent) {
  PendCommand("s1", "Sales", "Reg File");
  EXPECT_EQ(PrepareLivePushUpload("/x.xml", "").sourceFileName, "Reg File");
  PendCommand("", "", "Reg File");
  const auto upload = PrepareLivePushUpload("/x.xml", "Current");
  EXPECT_EQ(upload.commandId, "");
  EXPECT_EQ(upload.sourceFileName, "Reg File") << "without a command the registered file wins";

  Register("a b/c?\xC3\xA9");
  PendCommand("", "", "");
  EXPECT_EQ(PrepareLivePushUpload("/x.xml", "").licenseKey, "a b/c?\xC3\xA9")
      << "the completion carries the key as it is";
  const std::string path = SaveCopy("copy.xml");
  EXPECT_EQ(Push(path, "Current"), "OK");
  RunBackgroundTasks();
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/api/live/ingest/a%20b%2Fc%3F%C3%A9?filename=schema.fmp12.xml");
}

TEST_F(LivePushTest, UnreadableCopyFailsTheMatchedCommandWithTheReadersMessage) {
  PendCommand("s1", "Sales");
  const std::string missing = (folder_ / "missing.xml").string();
  EXPECT_EQ(Push(missing, "Sales"), "OK") << "the outcome goes to the service only";
  RunBackgroundTasks();
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/api/bridge/command/s1/complete");
  EXPECT_EQ(nlohmann::json::parse(requests[0].body),
            nlohmann::json({{"licenseKey", "KEY-1"},
                            {"status", "failed"},
                            {"error", "Upload failed: Cannot open file: " + missing}}));
}

TEST_F(LivePushTest, CopyIsDeletedAlsoWhenTheUploadFails) {
  const std::string path = SaveCopy("Sales.xml");
  LivePushUpload upload;
  upload.uploadUrl = UnreachableBaseUrl() + "/api/live/ingest/KEY-1?filename=Sales.fmp12.xml";
  upload.posixPath = path;
  upload.sourceFileName = "Sales";
  upload.commandId = "s1";
  upload.baseUrl = server.BaseUrl();
  upload.licenseKey = "KEY-1";
  UploadLivePushFile(upload);

  EXPECT_FALSE(Exists(path));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto completion = nlohmann::json::parse(requests[0].body);
  EXPECT_EQ(completion["status"], "failed");
  const std::string error = completion["error"];
  EXPECT_EQ(error.rfind("Upload failed: ", 0), 0u) << error;
  EXPECT_GT(error.size(), std::string("Upload failed: ").size()) << error;
}

TEST_F(LivePushTest, EmptyCopyWithNonAsciiPathIsUploadedAndDeleted) {
  PendCommand("s1", "Sales");
  const std::string path =
      SaveCopy("Sch\xC3\xA9ma \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\x84.xml", "");
  ASSERT_TRUE(Exists(path));
  Push(path, "Sales");
  RunBackgroundTasks();
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].body, "");
  EXPECT_EQ(requests[1].body, R"({"licenseKey":"KEY-1","status":"completed"})");
  EXPECT_FALSE(Exists(path));
}

TEST(FileRemoval, RemovesFilesOnlyAndReportsWhatItDid) {
  const fs::path folder = UniqueTempFolder("tideloom-file-removal-");
  const std::string folderPath = reinterpret_cast<const char*>(folder.u8string().c_str());
  const std::string path = folderPath + "/\xC3\xA9t\xC3\xA9.xml";
  std::ofstream(FromUtf8(path)) << "x";

  EXPECT_FALSE(RemoveFileAt(""));
  EXPECT_FALSE(RemoveFileAt(path + ".absent"));
  EXPECT_FALSE(RemoveFileAt(folderPath));
  EXPECT_TRUE(fs::exists(folder));
  EXPECT_TRUE(RemoveFileAt(path));
  EXPECT_FALSE(fs::exists(FromUtf8(path)));
  fs::remove_all(folder);
}

TEST(Fmp12Extension, OnlyATrailingLowerCaseExtensionAfterANameIsStripped) {
  EXPECT_EQ(StripFmp12Extension("Sales.fmp12"), "Sales");
  EXPECT_EQ(StripFmp12Extension("Sales.FMP12"), "Sales.FMP12");
  EXPECT_EQ(StripFmp12Extension(".fmp12"), ".fmp12");
  EXPECT_EQ(StripFmp12Extension("a.fmp12.fmp12"), "a.fmp12");
  EXPECT_EQ(StripFmp12Extension("Sales.fmp12 "), "Sales.fmp12 ");
}

} // namespace
