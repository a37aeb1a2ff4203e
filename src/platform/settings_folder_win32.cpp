// Windows back end: the shell's roaming application-data folder + "\TideLoom".
// windows.h first: the shell header relies on its types.
#include <windows.h>

#include <shlobj.h>

#include "platform/settings_folder.h"

namespace tideloom {

namespace {

constexpr int kRoamingAppDataFolder = 26; // CSIDL_APPDATA
constexpr DWORD kCurrentPath = 0;         // SHGFP_TYPE_CURRENT

} // namespace

std::optional<std::filesystem::path> SettingsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, kRoamingAppDataFolder, nullptr, kCurrentPath, buffer))) {
    return std::nullopt;
  }
  buffer[MAX_PATH - 1] = L'\0';
  std::filesystem::path folder(buffer);
  if (!folder.is_absolute()) return std::nullopt;
  return folder / L"TideLoom";
}

} // namespace tideloom
