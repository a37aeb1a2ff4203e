#include "bridge/bridge_state.h"

#include <chrono>

#include "plugin/plugin_identity.h"

namespace {
int64_t MonotonicMs() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 1'000'000;
}

BridgeState* MakeBridgeState() {
  auto* state = new BridgeState();
  state->baseUrl = std::string(kDefaultBaseUrl);
  return state;
}
} // namespace

int64_t (*steadyClockSource)() = MonotonicMs;

int64_t steadyNowMs() { return steadyClockSource(); }

BridgeState& bridgeState() {
  static BridgeState* const state = MakeBridgeState();
  return *state;
}

std::mutex& stateMutex() {
  static std::mutex* const mutex = new std::mutex();
  return *mutex;
}

std::string CopyLicenseKey() {
  const std::lock_guard<std::mutex> lock(stateMutex());
  return bridgeState().licenseKey;
}

std::string CopyBaseUrl() {
  const std::lock_guard<std::mutex> lock(stateMutex());
  return bridgeState().baseUrl;
}
