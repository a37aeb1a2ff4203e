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

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every file of the folder is compiled in byte for byte, and none is left over from an earlier
// build.
void ExpectSameFiles(std::span<const WebAsset> assets, const std::filesystem::path& folder) {
  std::set<std::string> files, names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.insert(entry.path().filename().string());
  }
  for (const WebAsset& asset : assets) {
    names.emplace(asset.name);
    EXPECT_EQ(asset.bytes, FileBytes(folder / std::string(asset.name))) << asset.name;
  }
  EXPECT_EQ(names, files);
}

} // namespace

// all_bytes.bin holds every byte value, empty.txt nothing.
TEST(WebAssetEmbedding, EveryByteValueAndAwkwardTextSurviveTheBuildStep) {
  ExpectSameFiles(EmbeddedFixtureAssets(), TIDELOOM_EMBED_FIXTURE_DIR);
  EXPECT_EQ(FindWebAsset(EmbeddedFixtureAssets(), "missing.txt"), nullptr);
  EXPECT_EQ(FindWebAsset(EmbeddedFixtureAssets(), ""), nullptr);
}

TEST(WebAssetEmbedding, ContentTypeFollowsTheExtension) {
  EXPECT_EQ(WebContentType("app.css"), "text/css; charset=utf-8");
  EXPECT_EQ(WebContentType("app.js"), "text/javascript; charset=utf-8");
  EXPECT_EQ(WebContentType("logo.svg"), "image/svg+xml");
  EXPECT_EQ(WebContentType("app.json"), "application/json");
  EXPECT_EQ(WebContentType("app.js.map"), "application/octet-stream");
  EXPECT_EQ(WebContentType("js"), "application/octet-stream");
}

// Page loads stay out of the event log; an unknown page file is refused, and logged.
TEST_F(RelayTest, StartPageAndEveryPageFileAreServedAsTheyAreInTheSourceTree) {
  ExpectSameFiles(EmbeddedWebAssets(), kWebDir);
  std::vector<std::pair<std::string, std::string>> pages = {{"/", "index.html"}};
  for (const WebAsset& asset : EmbeddedWebAssets())
    pages.emplace_back("/" + std::string(asset.name), asset.name);
  for (const auto& [path, name] : pages) {
    const auto answer = client->Get(path);
    ASSERT_TRUE(answer) << path;
    EXPECT_EQ(answer->status, 200) << path;
    EXPECT_EQ(answer->get_header_value("Content-Type"), WebContentType(name)) << path;
    EXPECT_EQ(answer->body, FileBytes(kWebDir / name)) << path;
  }
  const HttpAnswer missing = Get("/nothing.js");
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.json().at("error"), "no page file named nothing.js");
  const json events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].at("path"), "/nothing.js");
  EXPECT_EQ(events[0].at("status"), 404);
  EXPECT_EQ(Post("/app.js", "{}").status, 405);
}
