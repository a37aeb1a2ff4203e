// Live Push uploads: stored byte for byte under a safe name and tied to the schema command.
#include "relay/stored_files.h"
#include "relay_test_fixture.h"

using nlohmann::json;

namespace {

std::string EveryByteValue() {
  std::string bytes;
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b)
      bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

} // namespace

TEST_F(RelayTest, UploadIsStoredByteForByteAndShownWithTheInFlightSchemaCommand) {
  const std::string older =
      Queue({{"licenseKey", "K1"}, {"type", "GET_SCHEMA"}, {"fileName", "A"}});
  const std::string newer =
      Queue({{"licenseKey", "K1"}, {"type", "GET_SCHEMA"}, {"fileName", "B"}});
  const std::string other = Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  Poll("K1");
  Poll("K1");
  Poll("K1");

  const std::string bytes = EveryByteValue();
  // "Demo é.fmp12.xml", encoded the way the plug-in sends it.
  const HttpAnswer answer = Post("/api/live/ingest/K1?filename=Demo%20%C3%A9.fmp12.xml", bytes,
                                 "application/octet-stream");
  ASSERT_EQ(answer.status, 200) << answer.body;
  EXPECT_EQ(answer.json().at("commandId"), newer);

  const json view = Command(newer);
  ASSERT_EQ(view.at("ingested").size(), 1u);
  const json file = view.at("ingested")[0];
  EXPECT_EQ(file.at("name"), "Demo \xC3\xA9.fmp12.xml");
  EXPECT_EQ(file.at("size"), bytes.size());
  std::string onDisk;
  ASSERT_TRUE(ReadWholeFile(file.at("path").get<std::string>(), onDisk));
  EXPECT_EQ(onDisk, bytes);
  EXPECT_EQ(Get(file.at("url").get<std::string>()).body, bytes);
  EXPECT_TRUE(Command(older).at("ingested").empty());
  EXPECT_TRUE(Command(other).at("ingested").empty());

  // The upload's bytes live in the file, not in the event log.
  const json events = Events();
  EXPECT_FALSE(events.back().contains("bodyText"));
  EXPECT_EQ(events.back().at("bodySize"), bytes.size());
}

TEST_F(RelayTest, UploadWithoutASchemaCommandIsKeptButTiedToNothing) {
  Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  Poll("K1");
  const HttpAnswer answer =
      Post("/api/live/ingest/K1?filename=schema.fmp12.xml", "", "application/octet-stream");
  ASSERT_EQ(answer.status, 200) << answer.body;
  EXPECT_TRUE(answer.json().at("commandId").is_null());
  EXPECT_EQ(answer.json().at("size"), 0);
  EXPECT_EQ(Get("/dev/ingested/schema.fmp12.xml").status, 200);
}

TEST_F(RelayTest, UploadNamesCannotLeaveTheUploadFolderAndNeverOverwrite) {
  const auto folder = relay->store->dataDir / "ingested";
  const HttpAnswer escape =
      Post("/api/live/ingest/K1?filename=..%2F..%2Fescape.xml", "x", "application/octet-stream");
  ASSERT_EQ(escape.status, 200) << escape.body;
  const std::string stored = escape.json().at("stored");
  EXPECT_EQ(stored.find('/'), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(folder / stored));
  EXPECT_FALSE(std::filesystem::exists(relay->store->dataDir / "escape.xml"));
  EXPECT_FALSE(std::filesystem::exists(data.path / "escape.xml"));

  const std::string first =
      Post("/api/live/ingest/K1?filename=Same.fmp12.xml", "one", "application/octet-stream")
          .json()
          .at("stored");
  const std::string second =
      Post("/api/live/ingest/K1?filename=Same.fmp12.xml", "two", "application/octet-stream")
          .json()
          .at("stored");
  EXPECT_EQ(first, "Same.fmp12.xml");
  EXPECT_EQ(second, "Same-2.fmp12.xml");
  EXPECT_EQ(Get("/dev/ingested/Same.fmp12.xml").body, "one");
  EXPECT_EQ(Get("/dev/ingested/Same-2.fmp12.xml").body, "two");

  // Only names the relay stored are served.
  EXPECT_EQ(Get("/dev/ingested/..%2Frelay.db").status, 404);
  EXPECT_EQ(Post("/api/live/ingest/K1", "x", "application/octet-stream").status, 400);
}

TEST(SafeStoredFileName, KeepsOrdinaryNamesAndDefusesDangerousOnes) {
  const struct {
    std::string given;
    std::string expected;
  } cases[] = {
      {"Demo.fmp12.xml", "Demo.fmp12.xml"},
      {"Caf\xC3\xA9 #1.fmp12.xml", "Caf\xC3\xA9 #1.fmp12.xml"},
      {"../x", "___x"},
      {"a/b\\c", "a_b_c"},
      {"..", "__"},
      {".", "_"},
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

TEST(NumberedFileName, PutsTheNumberBeforeTheExtensions) {
  EXPECT_EQ(NumberedFileName("Demo.fmp12.xml", 1), "Demo.fmp12.xml");
  EXPECT_EQ(NumberedFileName("Demo.fmp12.xml", 3), "Demo-3.fmp12.xml");
  EXPECT_EQ(NumberedFileName("upload", 2), "upload-2");
}
