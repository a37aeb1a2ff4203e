// Live Push uploads: stored byte for byte under a safe name and tied to the schema command.
#include <fstream>

#include "relay/stored_files.h"
#include "relay_test_fixture.h"

using nlohmann::json;

namespace {

// What the plug-in's form upload sends: the key, the name, then the file's bytes.
std::string PluginForm(const std::string& name, const std::string& bytes) {
  const std::string part = "--B\r\nContent-Disposition: form-data; name=\"";
  return part + "licenseKey\"\r\n\r\nK1\r\n" + part + "filename\"\r\n\r\n" + name + "\r\n" + part +
         "file\"; filename=\"" + name + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
         bytes + "\r\n--B--\r\n";
}

} // namespace

TEST_F(RelayTest, UploadsAreStoredByteForByteUnderSafeNamesAndTiedToTheNewestSchemaCommand) {
  Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  Poll("K1"); // in flight, but no schema command: the uploads are tied to nothing
  std::string bytes;
  for (int i = 0; i < 3 * 256; ++i) // every byte value, three times
    bytes += static_cast<char>(i);
  const std::string form = "multipart/form-data; boundary=B";
  const struct {
    std::string query, body, contentType, stored, bytes;
  } cases[] = {
      {"?filename=raw.xml", bytes, "application/octet-stream", "raw.xml", bytes},
      {"?filename=schema.fmp12.xml", "", "application/octet-stream", "schema.fmp12.xml", ""},
      {"?filename=Sales%20%26%20Co%3F%23.xml", PluginForm("form.xml", bytes), form,
       "Sales & Co?#.xml", bytes},
      {"", PluginForm("form.xml", bytes), form, "form.xml", bytes},
      {"?filename=raw.xml", "two", "application/octet-stream", "raw-2.xml", "two"},
      {"?filename=..%2F..%2Fescape.xml", "x", "application/octet-stream", "___.._escape.xml", "x"},
  };
  for (const auto& c : cases) {
    const HttpAnswer answer = Post("/api/live/ingest/K1" + c.query, c.body, c.contentType);
    ASSERT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(answer.body, R"({"stored":")" + c.stored + R"(","size":)" +
                               std::to_string(c.bytes.size()) + R"(,"commandId":null})");
  }
  const json list = Get("/dev/ingested").json().at("ingested");
  ASSERT_EQ(list.size(), std::size(cases));
  for (std::size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i].at("name"), cases[i].stored);
    EXPECT_FALSE(list[i].contains("commandId"));
    EXPECT_EQ(Get(list[i].at("url").get<std::string>()).body, cases[i].bytes) << cases[i].stored;
  }
  // Only names the relay stored are served.
  EXPECT_EQ(Get("/dev/ingested/..%2Frelay.db").status, 404);
  EXPECT_EQ(Post("/api/live/ingest/K1", "x", "application/octet-stream").status, 400);

  // Neither the older schema command nor the command handed out last takes the upload.
  Queue({{"licenseKey", "K1"}, {"type", "GET_SCHEMA"}});
  const std::string newer = Queue({{"licenseKey", "K1"}, {"type", "GET_SCHEMA"}});
  Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  Poll("K1");
  Poll("K1");
  Poll("K1");
  // "Demo é.fmp12.xml", encoded the way the plug-in sends it.
  const HttpAnswer answer = Post("/api/live/ingest/K1?filename=Demo%20%C3%A9.fmp12.xml", bytes,
                                 "application/octet-stream");
  EXPECT_EQ(answer.json().at("commandId"), newer);
  const json view = Command(newer).at("ingested");
  ASSERT_EQ(view.size(), 1u);
  EXPECT_EQ(view[0].at("name"), "Demo \xC3\xA9.fmp12.xml");
  EXPECT_EQ(view[0].at("size"), bytes.size());
  EXPECT_EQ(Get(view[0].at("url").get<std::string>()).body, bytes);
  // The upload's bytes live in the file, not in the event log.
  const json events = Events();
  EXPECT_FALSE(events.back().contains("bodyText"));
  EXPECT_EQ(events.back().at("bodySize"), bytes.size());
}

TEST_F(RelayTest, UnfinishedUploadsNeverShowUnderARealName) {
  const auto folder = relay->store->dataDir / "ingested";
  SendRaw("POST /api/live/ingest/K1?filename=cut.xml HTTP/1.1\r\nHost: 127.0.0.1\r\n"
          "Content-Type: application/octet-stream\r\nContent-Length: 100000\r\n\r\npartial");
  StopRelay(); // as the plug-in going away mid-upload
  // What a relay killed mid-upload leaves behind goes at the next start.
  std::filesystem::create_directories(folder);
  std::ofstream(folder / ".incoming-Ab12Cd", std::ios::binary) << "partial";
  StartRelay();
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  EXPECT_TRUE(Get("/dev/ingested").json().at("ingested").empty());
}

TEST(SafeStoredFileName, KeepsOrdinaryNamesAndDefusesDangerousOnes) {
  const struct {
    std::string given;
    std::string expected;
  } cases[] = {
      {"Caf\xC3\xA9 #1.fmp12.xml", "Caf\xC3\xA9 #1.fmp12.xml"},
      {"a/b\\c", "a_b_c"},
      {"..", "__"},
      {".hidden", "_hidden"},
      {"", "upload"},
      {std::string("a\0b\n\x7F", 5), "a_b__"},
      {"a..b", "a..b"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SafeStoredFileName(c.given), c.expected) << c.given;

  // Long names keep their end (the extension) and are not cut inside a character.
  std::string longName;
  for (int i = 0; i < 150; ++i)
    longName += "\xC3\xA9";
  longName += ".fmp12.xml";
  const std::string safe = SafeStoredFileName(longName);
  EXPECT_LE(safe.size(), 200u);
  EXPECT_TRUE(safe.ends_with(".fmp12.xml"));
  EXPECT_EQ(static_cast<unsigned char>(safe.front()), 0xC3);
}
