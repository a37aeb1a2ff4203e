#include "platform/config_store.h"

#include <cstdint>
#include <fstream>
#include <limits>
#include <random>
#include <system_error>

#include "core/ascii.h"
#include "core/json.h"
#include "platform/file_read.h"
#include "platform/file_replace.h"
#include "platform/native_path.h"
#include "platform/settings_folder.h"

namespace tideloom {

std::mutex configMutex;

namespace {

void AppendConfigEscaped(std::string& out, std::string_view value) {
  for (const char c : value) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
}

std::string ConfigText(std::string_view licenseKey, std::string_view baseUrl) {
  std::string text;
  text.reserve(licenseKey.size() + baseUrl.size() + 32);
  text += "{\"";
  text += kLicenseKeyMember;
  text += "\":\"";
  AppendConfigEscaped(text, licenseKey);
  text += "\",\"";
  text += kBaseUrlMember;
  text += "\":\"";
  AppendConfigEscaped(text, baseUrl);
  text += "\"}";
  return text;
}

// A name of its own for every write, so that two host processes never share a temporary file.
std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target) {
  static uint64_t counter = 0;
  uint64_t salt = ++counter;
  try {
    std::random_device random;
    salt ^= (static_cast<uint64_t>(random()) << 32) | random();
  } catch (...) {
    // The counter alone still separates the writes of this process.
  }
  std::string suffix = ".";
  for (int shift = 60; shift >= 0; shift -= 4)
    suffix += kLowerHexDigits[(salt >> shift) & 0xF];
  suffix += ".tmp";
  std::filesystem::path temporary = target;
  temporary += suffix;
  return temporary;
}

// Readers see the old file or the new one, never a truncated one.
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes) {
  const std::filesystem::path temporary = TemporaryPathBeside(target);
  if (fileReplaceCalls.writeNewFile(temporary, bytes) &&
      fileReplaceCalls.replaceFile(temporary, target)) {
    return true;
  }
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  return false;
}

// Callers hold configMutex.
bool WriteConfigLocked(std::string_view licenseKey, std::string_view baseUrl) {
  const std::optional<std::filesystem::path> path = ConfigFilePath();
  if (!path) return false;
  return ReplaceFileContents(*path, ConfigText(licenseKey, baseUrl));
}

} // namespace

std::optional<std::filesystem::path> ConfigFilePath() {
  std::optional<std::filesystem::path> folder = SettingsFolder();
  if (!folder) return std::nullopt;
  // A failure shows up when the file is opened.
  std::error_code ignored;
  std::filesystem::create_directories(*folder, ignored);
  return *folder / kSettingsFileName;
}

std::string ReadConfigText() {
  const std::optional<std::filesystem::path> path = ConfigFilePath();
  if (!path) return "{}";
  // An unreadable file (missing, a folder, a FIFO, a read error) counts as empty.
  FileRead read = ReadWholeFile(Utf8FromNativePath(*path), std::numeric_limits<uint64_t>::max());
  return read.failure == FileReadFailure::kNone ? std::move(read.bytes) : std::string("{}");
}

std::string ConfigValue(std::string_view text, std::string_view key) {
  const size_t start = FindStringMemberValue(text, key);
  if (start == std::string_view::npos) return {};

  std::string value;
  for (size_t pos = start; pos < text.size() && text[pos] != '"'; ++pos) {
    if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
    value += text[pos];
  }
  return value;
}

bool WriteConfigValue(std::string_view key, std::string_view value) {
  const std::lock_guard<std::mutex> lock(configMutex);
  const std::string text = ReadConfigText();
  std::string licenseKey = ConfigValue(text, kLicenseKeyMember);
  std::string baseUrl = ConfigValue(text, kBaseUrlMember);
  if (key == kLicenseKeyMember) {
    licenseKey = value;
  } else if (key == kBaseUrlMember) {
    baseUrl = value;
  }
  return WriteConfigLocked(licenseKey, baseUrl);
}

bool WriteConfigValues(std::string_view licenseKey, std::string_view baseUrl) {
  const std::lock_guard<std::mutex> lock(configMutex);
  return WriteConfigLocked(licenseKey, baseUrl);
}

} // namespace tideloom
