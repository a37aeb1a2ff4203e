// The settings file: the account key and the service base URL of the last registration, kept
// as one line of JSON, {"licenseKey":"…","baseUrl":"…"}, in the settings folder.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tideloom {

constexpr std::string_view kLicenseKeyMember = "licenseKey";
constexpr std::string_view kBaseUrlMember = "baseUrl";
constexpr std::string_view kSettingsFileName = "settings.json";

// Serialises writers of the settings file. Never taken while the bridge's state lock is held.
extern std::mutex configMutex;

// The settings file's path, creating its folder on the way; nullopt when the system names no
// settings folder (then nothing is read or written anywhere).
std::optional<std::filesystem::path> ConfigFilePath();

// The whole settings file, or "{}" when it cannot be read.
std::string ReadConfigText();

// The value of member `key` in a settings text: only \" and \\ are escapes there.
std::string ConfigValue(std::string_view text, std::string_view key);

// Sets one member (licenseKey or baseUrl; any other key rewrites the file unchanged) and
// replaces the file in one step. False when the file could not be replaced; the old one then
// stays whole.
bool WriteConfigValue(std::string_view key, std::string_view value);

// Sets both members with one replacement of the file.
bool WriteConfigValues(std::string_view licenseKey, std::string_view baseUrl);

} // namespace tideloom
