#include "platform/config_store.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/file_replace.h"
#include "settings_sandbox.h"

namespace tideloom {

namespace {

class ConfigStore : public ::testing::Test {
protected:
  void TearDown() override { fileReplaceCalls = systemFileReplaceCalls; }

  SettingsSandbox sandbox;
};

std::filesystem::path lastTemporaryPath;

bool FailingReplace(const std::filesystem::path& source, const std::filesystem::path&) {
  lastTemporaryPath = source;
  return false;
}

// Leaves half of the new text behind, as a full disk would.
bool FailingHalfWrite(const std::filesystem::path& path, std::string_view bytes) {
  lastTemporaryPath = path;
  (void)systemFileReplaceCalls.writeNewFile(path, bytes.substr(0, bytes.size() / 2));
  return false;
}

} // namespace

TEST_F(ConfigStore, EachWriteIsOneExactLineEscapingOnlyQuotesAndBackslashesKeepingTheOtherMember) {
  const struct {
    std::string_view member; // "" sets both members to `value` and `url`
    std::string value, url, bytes;
  } writes[] = {
      {"", "K-123", "https://example.test/base",
       R"({"licenseKey":"K-123","baseUrl":"https://example.test/base"})"},
      {"", "a\"b\\c\n\x01\xC3\xA9", "u\\\"",
       "{\"licenseKey\":\"a\\\"b\\\\c\n\x01\xC3\xA9\",\"baseUrl\":\"u\\\\\\\"\"}"},
      {"", "", "", R"({"licenseKey":"","baseUrl":""})"},
      {kLicenseKeyMember, "KEY\"1", "", R"({"licenseKey":"KEY\"1","baseUrl":""})"},
      {kBaseUrlMember, "http://h:8", "", R"({"licenseKey":"KEY\"1","baseUrl":"http://h:8"})"},
      {"somethingElse", "ignored", "", R"({"licenseKey":"KEY\"1","baseUrl":"http://h:8"})"},
  };
  for (const auto& w : writes) {
    ASSERT_TRUE(w.member.empty() ? WriteConfigValues(w.value, w.url)
                                 : WriteConfigValue(w.member, w.value));
    EXPECT_EQ(sandbox.fileBytes(), w.bytes);
    EXPECT_EQ(ReadConfigText(), w.bytes);
  }
}

TEST(ConfigValue, TranslatesOnlyItsTwoEscapes) {
  EXPECT_EQ(ConfigValue(R"({"k":"a\"b\\c"})", "k"), "a\"b\\c");
  EXPECT_EQ(ConfigValue(R"({"k":"a\nb\u0041"})", "k"), "anbu0041");
  EXPECT_EQ(ConfigValue(R"({"k":"end\)", "k"), "end\\");
  EXPECT_EQ(ConfigValue(R"({"k":"open)", "k"), "open");
  EXPECT_EQ(ConfigValue(R"({"k":1})", "k"), "");
}

TEST_F(ConfigStore, AFailedWriteOrReplaceLeavesTheOldFileOrNoneAndNoTemporaryFile) {
  const FileReplaceCalls faults[] = {{FailingHalfWrite, systemFileReplaceCalls.replaceFile},
                                     {systemFileReplaceCalls.writeNewFile, FailingReplace}};
  for (const bool existing : {false, true}) {
    if (existing) {
      ASSERT_TRUE(WriteConfigValues("OLD-KEY", "https://old.test"));
    }
    const auto before = sandbox.fileBytes();
    for (const FileReplaceCalls& faulty : faults) {
      fileReplaceCalls = faulty;
      EXPECT_FALSE(WriteConfigValues("NEW-KEY", "https://new.test"));
      EXPECT_FALSE(WriteConfigValue(kLicenseKeyMember, "NEW-KEY"));
      fileReplaceCalls = systemFileReplaceCalls;
      EXPECT_EQ(lastTemporaryPath.parent_path(), sandbox.folder());
      EXPECT_EQ(sandbox.fileBytes(), before);
      EXPECT_EQ(sandbox.strayEntries(), 0u);
    }
  }
}

TEST_F(ConfigStore, WritersOfDifferentMembersNeverUndoEachOther) {
  constexpr int kRounds = 40;
  std::thread keyWriter([] {
    for (int i = 0; i <= kRounds; ++i)
      WriteConfigValue(kLicenseKeyMember, "key" + std::to_string(i));
  });
  std::thread urlWriter([] {
    for (int i = 0; i <= kRounds; ++i)
      WriteConfigValue(kBaseUrlMember, "url" + std::to_string(i));
  });
  keyWriter.join();
  urlWriter.join();
  const std::string text = ReadConfigText();
  EXPECT_EQ(ConfigValue(text, kLicenseKeyMember), "key" + std::to_string(kRounds));
  EXPECT_EQ(ConfigValue(text, kBaseUrlMember), "url" + std::to_string(kRounds));
  EXPECT_EQ(sandbox.strayEntries(), 0u);
}

} // namespace tideloom
