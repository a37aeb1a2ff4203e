#include "relay/relay_options.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <string_view>

#include "relay/relay_messages.h"

namespace {

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

std::optional<int> ParsePort(std::string_view text) {
  int port = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (ec != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

std::optional<double> ParseSeconds(std::string_view text) {
  double seconds = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(seconds) || seconds < 0 || seconds > kMaxHoldSeconds) {
    return std::nullopt;
  }
  return seconds;
}

} // namespace

std::optional<HoldRule> ParseHoldRule(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || text.front() != '/') return std::nullopt;
  const std::optional<double> seconds = ParseSeconds(std::string_view(text).substr(colon + 1));
  if (!seconds) return std::nullopt;
  return HoldRule{text.substr(0, colon), *seconds};
}

RelayOptionsResult ParseRelayOptions(const std::vector<std::string>& args) {
  RelayOptionsResult result;
  RelayOptions& options = result.options;
  options.pluginVersion = std::string(relay_text::kDefaultPluginVersion);
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inlineValue;
    if (const std::size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name.resize(eq);
    }
    if (name == "--help" || name == "-h") {
      options.showHelp = true;
      continue;
    }
    const bool takesValue = name == "--host" || name == "--port" || name == "--data" ||
                            name == "--plugin-version" || name == "--keys" || name == "--hold";
    if (!takesValue) {
      result.error = "unknown option: " + args[i];
      return result;
    }
    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      result.error = "option " + name + " needs a value";
      return result;
    }
    if (name == "--host") {
      if (value.empty()) {
        result.error = "--host needs an address";
        return result;
      }
      options.host = value;
    } else if (name == "--port") {
      const std::optional<int> port = ParsePort(value);
      if (!port) {
        result.error = "--port needs a number from 0 to 65535, not: " + value;
        return result;
      }
      options.port = *port;
    } else if (name == "--data") {
      if (value.empty()) {
        result.error = "--data needs a folder";
        return result;
      }
      options.dataDir = value;
    } else if (name == "--plugin-version") {
      options.pluginVersion = value;
    } else if (name == "--keys") {
      options.keysFile = value;
    } else {
      const std::optional<HoldRule> rule = ParseHoldRule(value);
      if (!rule) {
        result.error = "--hold needs ROUTE:SECONDS (a path starting with /, 0 to 600 seconds), "
                       "not: " +
                       value;
        return result;
      }
      options.holds.push_back(*rule);
    }
  }
  return result;
}

std::optional<std::set<std::string>> LoadAcceptedKeys(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::set<std::string> keys;
  std::string line;
  while (std::getline(in, line)) {
    const std::string_view key = TrimBlanks(line);
    if (!key.empty()) keys.emplace(key);
  }
  if (in.bad()) return std::nullopt;
  return keys;
}

std::string RelayUrl(const std::string& host, int port) {
  const bool ipv6 = host.find(':') != std::string::npos;
  return "http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}
