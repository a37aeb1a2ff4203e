// The relay's command line and the accepted-keys file.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "relay/relay_holds.h"

struct RelayOptions {
  std::string host = "127.0.0.1";
  int port = 8787;
  std::filesystem::path dataDir = "relay-data";
  std::string pluginVersion; // filled with the default by ParseRelayOptions
  std::optional<std::filesystem::path> keysFile;
  std::vector<HoldRule> holds;
  bool showHelp = false;
};

struct RelayOptionsResult {
  RelayOptions options;
  std::string error; // empty when the command line was understood
};

// Accepts "--name value" and "--name=value". The program name is not part of `args`.
RelayOptionsResult ParseRelayOptions(const std::vector<std::string>& args);

// "ROUTE:SECONDS", split at the last colon; nullopt when it is not that.
std::optional<HoldRule> ParseHoldRule(const std::string& text);

// One key per line; blanks around a key and empty lines are ignored. Nullopt if unreadable.
std::optional<std::set<std::string>> LoadAcceptedKeys(const std::filesystem::path& file);

// "http://host:port", with an IPv6 host in brackets.
std::string RelayUrl(const std::string& host, int port);
