// Switching the bridge on and off with the plug-in's life.
#pragma once

#include <cstdint>
#include <string_view>

namespace tideloom {

// Shutdown waits this long for background threads, checking every kStopCheckIntervalMs.
inline constexpr int64_t kStopWaitLimitMs = 2000;
inline constexpr int64_t kStopCheckIntervalMs = 10;

// Start-up: allows background work again and resumes from the settings file's key, if any.
void ResumeBridge();

// Shutdown: stops new work, drops the pending and queued commands and waits a bounded time for
// running threads. Key, base URL and file name stay for a later start-up.
void StopBridge();

} // namespace tideloom
