// Where the plug-in keeps its settings: the user's roaming application data on Windows, the XDG
// configuration folder elsewhere, each with the sub-folder "TideLoom".
#pragma once

#include <filesystem>
#include <optional>

namespace tideloom {

// The "TideLoom" settings folder (not created here), or nullopt when the system names no
// absolute folder to put it in; a relative path is never returned.
std::optional<std::filesystem::path> SettingsFolder();

} // namespace tideloom
