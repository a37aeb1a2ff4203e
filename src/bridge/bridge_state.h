// The one record the bridge's threads share: the host's thread, the poll thread and the senders.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

struct BridgeState {
  // Guarded by stateMutex.
  bool registered = false;
  std::string licenseKey;
  std::string baseUrl;
  std::string registeredFileName;
  std::string pendingCommandId;
  std::string pendingCommandType;
  std::string pendingCommandBody;
  std::string schemaCommandId;
  std::string schemaTargetFile;
  bool schemaWaiting = false;
  int64_t schemaQueuedAtMs = 0;
  int64_t lastPollAtMs = 0;
  int64_t lastUpdateCheckAtMs = 0;
  std::string latestVersion;

  // Used without the mutex.
  std::atomic<bool> shuttingDown{false};
  std::atomic<bool> pollInFlight{false};
  std::atomic<bool> commandPending{false};
  std::atomic<bool> updateCheckRunning{false};
  std::atomic<int32_t> activeSenders{0};
};

// Made once and never destroyed: a sender still running while the process exits finds it whole.
BridgeState& bridgeState();
std::mutex& stateMutex();

// Copies taken under one short hold of stateMutex each.
std::string CopyLicenseKey();
std::string CopyBaseUrl();

// Milliseconds on the monotonic clock. Tests replace the clock through steadyClockSource.
int64_t steadyNowMs();
extern int64_t (*steadyClockSource)();
