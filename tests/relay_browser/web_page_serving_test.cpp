// The page the relay serves: compiled in byte for byte, served with the right types, loading
// nothing from elsewhere; and the uploaded-file list the page reads.
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "relay/web_assets.h"
#include "relay_test_fixture.h"

using nlohmann::json;

// Generated from embed_fixture/ by the same build step that embeds relay/web.
std::span<const WebAsset> EmbeddedFixtureAssets();

namespace {

const std::filesystem::path kWebDir = TIDELOOM_WEB_DIR;
const std::filesystem::path kFixtureDir = TIDELOOM_EMBED_FIXTURE_DIR;

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> FileNamesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) names.insert(entry.path().filename().string());
  }
  return names;
}

std::set<std::string> NamesOf(std::span<const WebAsset> assets) {
  std::set<std::string> names;
  for (const WebAsset& asset : assets)
    names.emplace(asset.name);
  return names;
}

class RelayPageTest : public RelayTest {
protected:
  httplib::Result Fetch(const std::string& path) { return client->Get(path.c_str()); }
};

} // namespace

TEST(WebAssetEmbedding, EveryByteValueAndAwkwardTextSurviveTheBuildStep) {
  const std::span<const WebAsset> assets = EmbeddedFixtureAssets();
  EXPECT_EQ(NamesOf(assets), FileNamesIn(kFixtureDir));

  const WebAsset* bytes = FindWebAsset(assets, "all_bytes.bin");
  ASSERT_NE(bytes, nullptr);
  ASSERT_EQ(bytes->bytes.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(static_cast<unsigned char>(bytes->bytes[static_cast<std::size_t>(b)]), b);
  }
  for (const WebAsset& asset : assets) {
    EXPECT_EQ(asset.bytes, FileBytes(kFixtureDir / std::string(asset.name))) << asset.name;
  }
  const WebAsset* empty = FindWebAsset(assets, "empty.txt");
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->bytes.empty());
  EXPECT_EQ(FindWebAsset(assets, "missing.txt"), nullptr);
  EXPECT_EQ(FindWebAsset(assets, ""), nullptr);
}

TEST(WebAssetEmbedding, ContentTypeFollowsTheExtension) {
  EXPECT_EQ(WebContentType("index.html"), "text/html; charset=utf-8");
  EXPECT_EQ(WebContentType("app.css"), "text/css; charset=utf-8");
  EXPECT_EQ(WebContentType("app.js"), "text/javascript; charset=utf-8");
  EXPECT_EQ(WebContentType("logo.svg"), "image/svg+xml");
  EXPECT_EQ(WebContentType("app.json"), "application/json");
  EXPECT_EQ(WebContentType("app.js.map"), "application/octet-stream");
  EXPECT_EQ(WebContentType("README"), "application/octet-stream");
  EXPECT_EQ(WebContentType("js"), "application/octet-stream");
}

TEST_F(RelayPageTest, StartPageAndEveryPageFileAreServedAsTheyAreInTheSourceTree) {
  // Every file of the folder is compiled in, none is left over from an earlier build.
  EXPECT_EQ(NamesOf(EmbeddedWebAssets()), FileNamesIn(kWebDir));

  const auto start = Fetch("/");
  ASSERT_TRUE(start);
  EXPECT_EQ(start->status, 200);
  EXPECT_EQ(start->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(start->body, FileBytes(kWebDir / "index.html"));

  for (const std::string& name : FileNamesIn(kWebDir)) {
    const auto answer = Fetch("/" + name);
    ASSERT_TRUE(answer) << name;
    EXPECT_EQ(answer->status, 200) << name;
    EXPECT_EQ(answer->get_header_value("Content-Type"), WebContentType(name)) << name;
    EXPECT_EQ(answer->body, FileBytes(kWebDir / name)) << name;
  }
}

TEST_F(RelayPageTest, StartPageLoadsOnlyWhatTheRelayItselfServes) {
  const std::string page = FileBytes(kWebDir / "index.html");
  const std::regex reference(R"re((?:src|href)\s*=\s*"([^"]*)")re");
  int references = 0;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), reference);
       it != std::sregex_iterator(); ++it) {
    const std::string target = (*it)[1].str();
    ++references;
    if (target.starts_with("data:")) continue;
    EXPECT_FALSE(target.starts_with("//") || target.find("://") != std::string::npos) << target;
    const std::string path = target.starts_with("/") ? target : "/" + target;
    const auto answer = Fetch(path);
    ASSERT_TRUE(answer) << target;
    EXPECT_EQ(answer->status, 200) << target;
  }
  EXPECT_GE(references, 2); // the style sheet and the script at least

  for (const char* name : {"app.js", "app.css"}) {
    const std::string text = FileBytes(kWebDir / name);
    EXPECT_EQ(text.find("http://"), std::string::npos) << name;
    EXPECT_EQ(text.find("https://"), std::string::npos) << name;
    EXPECT_EQ(text.find("@import"), std::string::npos) << name;
  }
}

TEST_F(RelayPageTest, PageLoadsStayOutOfTheEventLogWhileUnknownPageFilesAreRefused) {
  Fetch("/");
  Fetch("/app.js");
  const auto missing = Fetch("/nothing.js");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(json::parse(missing->body).at("error"), "no page file named nothing.js");
  const auto traversal = Fetch("/..%2Frelay.db");
  ASSERT_TRUE(traversal);
  EXPECT_GE(traversal->status, 400);
  EXPECT_FALSE(traversal->body.starts_with("SQLite format"));

  const json events = Events();
  ASSERT_GE(events.size(), 1u);
  for (const json& event : events) {
    EXPECT_NE(event.at("path"), "/") << event.dump();
    EXPECT_NE(event.at("path"), "/app.js") << event.dump();
  }
  EXPECT_EQ(events[0].at("path"), "/nothing.js");
  EXPECT_EQ(events[0].at("status"), 404);

  const HttpAnswer wrongMethod = Post("/app.js", "{}");
  EXPECT_EQ(wrongMethod.status, 405);
}

TEST_F(RelayPageTest, IngestedFilesAreListedOldestFirstWithLinksThatDownloadThem) {
  EXPECT_EQ(Get("/dev/ingested").json(), json::parse(R"({"ingested":[]})"));

  const std::string schema =
      Queue({{"licenseKey", "K1"}, {"type", "GET_SCHEMA"}, {"fileName", "A"}});
  Poll("K1");
  const std::string first("<FMSaveAsXML>\x00\xff</FMSaveAsXML>", 33);
  const std::string second = "second upload";
  const std::string third = "loose upload";
  ASSERT_EQ(Post("/api/live/ingest/K1?filename=Sales.fmp12.xml", first, "application/octet-stream")
                .status,
            200);
  ASSERT_EQ(Post("/api/live/ingest/K1?filename=Sales.fmp12.xml", second, "application/octet-stream")
                .status,
            200);
  ASSERT_EQ(Complete(schema, {{"licenseKey", "K1"}, {"status", "completed"}}).status, 200);
  // Nothing in flight any more: kept, but tied to no command.
  ASSERT_EQ(Post("/api/live/ingest/K2?filename=Sales%20%26%20Co%3F%23.xml", third,
                 "application/octet-stream")
                .status,
            200);

  const json list = Get("/dev/ingested").json().at("ingested");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].at("name"), "Sales.fmp12.xml");
  EXPECT_EQ(list[0].at("commandId"), schema);
  EXPECT_EQ(list[0].at("size"), first.size());
  EXPECT_EQ(list[1].at("name"), "Sales-2.fmp12.xml");
  EXPECT_EQ(list[1].at("originalName"), "Sales.fmp12.xml");
  EXPECT_EQ(list[2].at("name"), "Sales & Co?#.xml");
  EXPECT_FALSE(list[2].contains("commandId"));

  const std::string expected[] = {first, second, third};
  for (std::size_t i = 0; i < 3; ++i) {
    const HttpAnswer download = Get(list[i].at("url").get<std::string>());
    EXPECT_EQ(download.status, 200) << list[i].dump();
    EXPECT_EQ(download.body, expected[i]) << list[i].dump();
  }
}
