// Fetching the service's next command: at most one short-lived poll thread at a time, started
// by the idle call no sooner than 3000 ms after the previous decision to poll.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bridge/bridge_state.h"

namespace tideloom {

inline constexpr int64_t kPollSpacingMs = 3000;
// The only poll may not stay open longer than a receive may take: a reply that trickles in would
// otherwise keep every command from being fetched.
inline constexpr int64_t kPollLimitMs = 120000;

// What a poll reply carries: a command when both strings are non-empty.
struct PollReply {
  std::string id;
  std::string type;
};

// No command for "command":null (with or without one blank after the colon) anywhere in the
// text, nor when id or type is missing or empty.
PollReply ClassifyPollReply(std::string_view reply);

// baseUrl + "/api/bridge/command/next?licenseKey=" + the encoded key + "&version=" + version
std::string PollUrl(std::string_view baseUrl, std::string_view licenseKey);

// The idle call's poll decision; true when it started a poll.
bool ConsiderPoll();

// One poll of `session`: GET, classify, store a command for the idle call. Ends the poll on
// every path.
void pollCommandOnce(SessionToken session, const std::string& baseUrl,
                     const std::string& licenseKey);

} // namespace tideloom
