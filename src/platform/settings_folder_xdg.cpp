// XDG back end: $XDG_CONFIG_HOME/TideLoom, else $HOME/.config/TideLoom.
#include <cstdlib>

#include "platform/settings_folder.h"

namespace tideloom {

namespace {

// An empty or relative value counts as unset, so settings never land in the working folder.
std::optional<std::filesystem::path> AbsoluteFolderFrom(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') return std::nullopt;
  std::filesystem::path folder(value);
  if (!folder.is_absolute()) return std::nullopt;
  return folder;
}

} // namespace

std::optional<std::filesystem::path> SettingsFolder() {
  if (auto configHome = AbsoluteFolderFrom("XDG_CONFIG_HOME")) return *configHome / "TideLoom";
  if (auto home = AbsoluteFolderFrom("HOME")) return *home / ".config" / "TideLoom";
  return std::nullopt;
}

} // namespace tideloom
