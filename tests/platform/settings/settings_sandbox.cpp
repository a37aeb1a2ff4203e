#include "settings_sandbox.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/settings_folder.h"

namespace tideloom {

SettingsSandbox::SettingsSandbox() {
  SetTestEnvironment("XDG_CONFIG_HOME", privateHome_.root.string().c_str());
  const std::optional<std::filesystem::path> folder = SettingsFolder();
  if (!folder) throw std::runtime_error("no settings folder on this system");
  folder_ = *folder;
  folderExisted_ = std::filesystem::exists(folder_);
  previousBytes_ = fileBytes();
  std::filesystem::remove(file());
}

SettingsSandbox::~SettingsSandbox() {
  std::error_code ignored;
  if (previousBytes_) setFileBytes(*previousBytes_);
  if (!previousBytes_) std::filesystem::remove(file(), ignored);
  if (!folderExisted_) std::filesystem::remove(folder_, ignored);
  SetTestEnvironment("XDG_CONFIG_HOME", nullptr);
}

std::filesystem::path SettingsSandbox::file() const { return folder_ / "settings.json"; }

std::optional<std::string> SettingsSandbox::fileBytes() const {
  std::ifstream in(file(), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SettingsSandbox::setFileBytes(const std::string& bytes) const {
  std::filesystem::create_directories(folder_);
  std::ofstream(file(), std::ios::binary | std::ios::trunc) << bytes;
}

std::size_t SettingsSandbox::strayEntries() const {
  std::error_code ignored;
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ignored))
    count += entry.path().filename() != "settings.json" ? 1 : 0;
  return count;
}

} // namespace tideloom
