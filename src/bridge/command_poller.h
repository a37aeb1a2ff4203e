// Fetching the service's next command: at most one short-lived poll thread at a time, started
// by the idle call no sooner than 3000 ms after the previous decision to poll.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int64_t kPollSpacingMs = 3000;

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

// One poll: GET, classify, store a command and raise commandPending. Clears pollInFlight on
// every path.
void pollCommandOnce(const std::string& baseUrl, const std::string& licenseKey);
