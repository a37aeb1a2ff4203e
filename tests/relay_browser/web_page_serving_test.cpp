// The page the relay serves: compiled in byte for byte and served with the right types.
#include <fstream>
#include <iterator>
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

  // all_bytes.bin holds every byte value, empty.txt nothing.
  for (const WebAsset& asset : assets) {
    EXPECT_EQ(asset.bytes, FileBytes(kFixtureDir / std::string(asset.name))) << asset.name;
  }
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

TEST_F(RelayPageTest, PageLoadsStayOutOfTheEventLogWhileUnknownPageFilesAreRefused) {
  Fetch("/");
  Fetch("/app.js");
  const auto missing = Fetch("/nothing.js");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(json::parse(missing->body).at("error"), "no page file named nothing.js");

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
