// fmhost's JSON lines. Every string is made valid UTF-8 first, so that any output parses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fmhost_api.h"

namespace fmhost {

// A JSON string literal: quotes, escapes, U+FFFD for bytes that are not UTF-8.
std::string JsonString(std::string_view text);

std::string EvaluationJson(std::string_view expression, const CalcResult& result);

struct PluginDescription {
  std::optional<int64_t> startupResult;             // none when the plug-in was never started
  std::vector<std::pair<int, std::string>> strings; // id, answer
  std::vector<RegisteredFunction> functions;
};
std::string DescriptionJson(const PluginDescription& description);

} // namespace fmhost
