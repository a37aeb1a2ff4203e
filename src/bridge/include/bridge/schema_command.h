// GET_SCHEMA: the plug-in cannot read a file's full schema itself, so it has the host run the
// solution's "TideLoom Live Push" script in that file, whose upload then completes the command.
// The command waits until its file is the active one and the host is quiet, for at most 30 s.
#pragma once

#include <cstdint>
#include <string_view>

#include "bridge/idle_executor.h"
#include "bridge/idle_host.h"

namespace tideloom {

inline constexpr std::string_view kLivePushScriptName = "TideLoom Live Push";
// Older solutions spell the script with a blank.
inline constexpr std::string_view kLivePushScriptAlternateName = "Tide Loom Live Push";

// How long a queued command waits for its file to become active while the host is quiet.
inline constexpr int64_t kSchemaWaitLimitMs = 30'000;

// Host levels below this are quiet enough to start a script (no script running, no dialog).
inline constexpr uint8_t kBusyIdleLevel = 2;

// Queues the command for its target (the payload's fileName, else the registered file), after
// pushing the open-file list; a command still waiting or started is replaced.
void QueueSchemaCommand(const CommandCopy& command, const IdleHostCalls& host);

// Watches a queued command at an idle call. True when the call started the script or gave up
// waiting, so the idle call does nothing else.
bool WatchSchemaCommand(uint8_t idleLevel, const IdleHostCalls& host);

} // namespace tideloom
