// The bridge's work on the host's thread, driven by the host's idle calls: learn the registered
// file's name, carry out one fetched command, start the daily update check, decide when to poll.
#pragma once

#include <cstdint>
#include <string>

#include "bridge/idle_host.h"

namespace tideloom {

// A fetched command with what it needs to answer, copied out of the bridge state.
struct CommandCopy {
  std::string id;
  std::string type;
  std::string body;
  std::string baseUrl;
  std::string licenseKey;
};

// One idle call. `idleLevel` is the host's, as it came with the call.
void onIdle(uint8_t idleLevel, const IdleHostCalls& host);

// Runs one command on the host's thread and hands its outcome to a sender. The command is the
// executor's: it may let go of the body once it has read it.
void DispatchCommand(CommandCopy command, const IdleHostCalls& host);

} // namespace tideloom
