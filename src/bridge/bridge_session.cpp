#include "bridge/bridge_session.h"

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "bridge/bridge_state.h"
#include "core/config_store.h"
#include "plugin/plugin_identity.h"

void configureBridge(std::string_view licenseKey, std::string_view baseUrl) {
  BridgeState& state = bridgeState();
  const std::lock_guard<std::mutex> lock(stateMutex());
  state.licenseKey = licenseKey;
  state.baseUrl = baseUrl.empty() ? kDefaultBaseUrl : baseUrl;
  state.registered = true;
}

void ResumeBridge() {
  bridgeState().shuttingDown.store(false);
  const std::string licenseKey = ConfigValue(ReadConfigText(), kLicenseKeyMember);
  const std::string baseUrl = ConfigValue(ReadConfigText(), kBaseUrlMember);
  if (!licenseKey.empty()) configureBridge(licenseKey, baseUrl);
}

void StopBridge() {
  BridgeState& state = bridgeState();
  state.shuttingDown.store(true);
  state.pollInFlight.store(false);
  state.updateCheckRunning.store(false);
  {
    const std::lock_guard<std::mutex> lock(stateMutex());
    state.registered = false;
    state.commandPending.store(false);
    state.schemaWaiting = false;
    state.schemaCommandId.clear();
    state.schemaTargetFile.clear();
  }
  // Threads still sending after the limit are left to finish: they see shuttingDown, and the
  // state they touch is never destroyed.
  const int64_t waitStart = steadyNowMs();
  while (state.activeSenders.load() > 0 && steadyNowMs() - waitStart < kStopWaitLimitMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kStopCheckIntervalMs));
  }
}
