// Gives a test a settings folder of its own where the platform lets a test choose it (XDG), and
// everywhere puts back the settings file that was there before, so the suite leaves no trace.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "temp_folder.h"

namespace tideloom {

// Sets an environment variable for the test process; a null value removes it.
void SetTestEnvironment(const char* name, const char* value);

class SettingsSandbox {
public:
  SettingsSandbox();
  ~SettingsSandbox();
  SettingsSandbox(const SettingsSandbox&) = delete;
  SettingsSandbox& operator=(const SettingsSandbox&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path file() const;
  // The settings file's bytes, or nullopt when there is none.
  std::optional<std::string> fileBytes() const;
  void setFileBytes(const std::string& bytes) const;
  // Names in the settings folder other than the settings file itself.
  std::size_t strayEntries() const;

private:
  TempFolder privateHome_; // where XDG_CONFIG_HOME points while the sandbox lives
  std::filesystem::path folder_;
  bool folderExisted_ = false;
  std::optional<std::string> previousBytes_;
};

} // namespace tideloom
