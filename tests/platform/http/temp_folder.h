// A folder of its own for each test, removed afterwards, with files written as raw bytes.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tideloom {

struct TempFolder {
  const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                     ("tideloom-http-" + std::to_string(std::random_device{}()));

  TempFolder() { std::filesystem::create_directories(root); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

  // Writes `bytes` to the UTF-8 `name` and returns the file's path as UTF-8.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const auto path = root / std::filesystem::path(std::u8string(name.begin(), name.end()));
    std::ofstream(path, std::ios::binary) << bytes;
    return Utf8(path);
  }

  std::string Utf8(const std::filesystem::path& path) const {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  }
};

} // namespace tideloom
