#include "platform/settings_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/config_store.h"
#include "test_environment.h"

namespace tideloom {

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

TEST_F(SettingsFolderLookup, PrefersTheXdgConfigHome) {
  SetTestEnvironment("XDG_CONFIG_HOME", "/xdg/config");
  SetTestEnvironment("HOME", "/home/user");
  EXPECT_EQ(SettingsFolder(), std::filesystem::path("/xdg/config/TideLoom"));
}

TEST_F(SettingsFolderLookup, FallsBackToHomeWhenTheXdgValueIsUnsetEmptyOrRelative) {
  SetTestEnvironment("HOME", "/home/user");
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
    EXPECT_EQ(ConfigFilePath(), std::nullopt);
    EXPECT_EQ(ReadConfigText(), "{}");
    EXPECT_FALSE(WriteConfigValues("K", "U"));
    EXPECT_FALSE(WriteConfigValue(kLicenseKeyMember, "K"));
  }
  EXPECT_FALSE(std::filesystem::exists("TideLoom"));
  EXPECT_FALSE(std::filesystem::exists("relative-home"));
  EXPECT_FALSE(std::filesystem::exists("settings.json"));
}

} // namespace tideloom
