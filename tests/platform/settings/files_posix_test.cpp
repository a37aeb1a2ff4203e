// Files on POSIX systems. Paths that are no regular file, read by every reader of local files:
// none may block the host's thread or read without end, and each answers with its own "could not
// open" message. The settings folder follows XDG, and never lands in the working folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/config_store.h"
#include "platform/file_read.h"
#include "platform/settings_folder.h"
#include "platform/text_file.h"
#include "platform/upload.h"
#include "settings_sandbox.h"
#include "temp_folder.h"

namespace tideloom {

TEST(NoRegularFile, OnlyARegularFileIsReadOnlyUpToItsLimitAndEachReaderRefusesTheRest) {
  const TempFolder folder;
  const auto pathOf = [&](const char* name) { return (folder.root / name).string(); };
  folder.Write("three.txt", "abc");
  folder.Write("empty.txt", "");
  ASSERT_EQ(::mkfifo(pathOf("fifo").c_str(), 0600), 0);
  const struct {
    std::string path;
    uint64_t limit;
    FileReadFailure failure;
    std::string bytes;
  } cases[] = {
      {pathOf("three.txt"), 3, FileReadFailure::kNone, "abc"},
      {pathOf("three.txt"), 2, FileReadFailure::kTooLarge, ""},
      {pathOf("empty.txt"), 0, FileReadFailure::kNone, ""},
      {pathOf("fifo"), 9, FileReadFailure::kCannotOpen, ""},
      {"/dev/zero", 9, FileReadFailure::kCannotOpen, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const FileRead read = ReadWholeFile(c.path, c.limit);
    EXPECT_EQ(read.failure, c.failure);
    EXPECT_EQ(read.bytes, c.bytes);
    if (c.failure != FileReadFailure::kCannotOpen) continue;
    // Every reader refuses the same paths, each with its own message.
    std::string bytes, error;
    EXPECT_FALSE(ReadTextFile(c.path, bytes, error));
    EXPECT_EQ(error, "ERROR: Could not open file: " + c.path);
    EXPECT_EQ(HttpPostFile("nowhere", c.path).error, "Cannot open file: " + c.path);
  }
}

TEST(SettingsFile, ASettingsFileThatIsAFifoOrAFolderReadsAsEmpty) {
  SettingsSandbox sandbox;
  const std::filesystem::path path = *ConfigFilePath();
  std::filesystem::create_directories(path.parent_path());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_EQ(ReadConfigText(), "{}");
  std::filesystem::remove(path);
  std::filesystem::create_directories(path);
  EXPECT_EQ(ReadConfigText(), "{}");
}

namespace {

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

// Puts XDG_CONFIG_HOME and HOME back as they were.
class SettingsFolderLookup : public ::testing::Test {
protected:
  void TearDown() override {
    SetTestEnvironment("XDG_CONFIG_HOME", savedConfigHome ? savedConfigHome->c_str() : nullptr);
    SetTestEnvironment("HOME", savedHome ? savedHome->c_str() : nullptr);
  }

  std::optional<std::string> savedConfigHome = Variable("XDG_CONFIG_HOME");
  std::optional<std::string> savedHome = Variable("HOME");
};

} // namespace

TEST_F(SettingsFolderLookup, PrefersAnAbsoluteXdgConfigHomeAndElseFallsBackToHome) {
  SetTestEnvironment("HOME", "/home/user");
  SetTestEnvironment("XDG_CONFIG_HOME", "/xdg/config");
  EXPECT_EQ(SettingsFolder(), std::filesystem::path("/xdg/config/TideLoom"));
  for (const char* configHome : {static_cast<const char*>(nullptr), "", "relative/config"}) {
    SetTestEnvironment("XDG_CONFIG_HOME", configHome);
    EXPECT_EQ(SettingsFolder(), std::filesystem::path("/home/user/.config/TideLoom"));
  }
}

TEST_F(SettingsFolderLookup, WithoutAnAbsoluteFolderNothingIsReadOrWrittenAnywhere) {
  for (const char* home : {static_cast<const char*>(nullptr), "", "relative-home"}) {
    SetTestEnvironment("XDG_CONFIG_HOME", "");
    SetTestEnvironment("HOME", home);
    EXPECT_EQ(SettingsFolder(), std::nullopt);
    EXPECT_EQ(ReadConfigText(), "{}");
    EXPECT_FALSE(WriteConfigValues("K", "U"));
    EXPECT_FALSE(WriteConfigValue(kLicenseKeyMember, "K"));
  }
  EXPECT_FALSE(std::filesystem::exists("settings.json"));
}

} // namespace tideloom
