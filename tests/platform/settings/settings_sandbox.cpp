#include "settings_sandbox.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/config_store.h"
#include "platform/settings_folder.h"
#include "test_environment.h"

namespace tideloom {

namespace {

std::filesystem::path FreshTemporaryFolder() {
  std::random_device random;
  const auto folder = std::filesystem::temp_directory_path() /
                      ("tideloom-core-test-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(folder);
  return folder;
}

} // namespace

SettingsSandbox::SettingsSandbox() : privateHome_(FreshTemporaryFolder()) {
  SetTestEnvironment("XDG_CONFIG_HOME", privateHome_.string().c_str());
  const std::optional<std::filesystem::path> folder = SettingsFolder();
  if (!folder) throw std::runtime_error("no settings folder on this system");
  folder_ = *folder;
  folderExisted_ = std::filesystem::exists(folder_);
  previousBytes_ = fileBytes();
  removeFile();
}

SettingsSandbox::~SettingsSandbox() {
  std::error_code ignored;
  if (previousBytes_) {
    setFileBytes(*previousBytes_);
  } else {
    std::filesystem::remove(file(), ignored);
  }
  if (!folderExisted_) std::filesystem::remove(folder_, ignored);
  std::filesystem::remove_all(privateHome_, ignored);
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
  std::ofstream out(file(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

void SettingsSandbox::removeFile() const {
  std::error_code ignored;
  std::filesystem::remove(file(), ignored);
}

std::size_t SettingsSandbox::strayEntries() const {
  std::size_t count = 0;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ignored)) {
    if (entry.path().filename() != "settings.json") ++count;
  }
  return count;
}

} // namespace tideloom
