// nlohmann-json as the independent judge of what the plug-in's own JSON code writes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

// dump() refuses ill-formed UTF-8, which makes it a validity check that shares no code with ours.
inline bool IsValidUtf8(std::string_view text) {
  try {
    (void)nlohmann::json(std::string(text)).dump();
    return true;
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

// The parsed document, or a discarded value when `json` is not JSON.
inline nlohmann::json ParseJson(std::string_view json) {
  return nlohmann::json::parse(json, nullptr, false);
}
