#include "bridge/bridge_session.h"

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "bridge/bridge_state.h"
#include "platform/config_store.h"

namespace tideloom {

void ResumeBridge() {
  bridgeState().AllowWork();
  const std::string settings = ReadConfigText();
  const std::string licenseKey = ConfigValue(settings, kLicenseKeyMember);
  const std::string baseUrl = ConfigValue(settings, kBaseUrlMember);
  if (!licenseKey.empty()) bridgeState().Configure(licenseKey, baseUrl);
}

void StopBridge() {
  BridgeState& state = bridgeState();
  state.BeginShutdown();
  // Threads still sending after the limit are left to finish: they see shuttingDown, and the
  // state they touch is never destroyed.
  const int64_t waitStart = steadyNowMs();
  while (state.ActiveTasks() > 0 && steadyNowMs() - waitStart < kStopWaitLimitMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kStopCheckIntervalMs));
  }
}

} // namespace tideloom
