#include "bridge/command_poller.h"

#include <mutex>

#include "bridge/background_task.h"
#include "bridge/bridge_state.h"
#include "bridge/percent_encoding.h"
#include "bridge/service_protocol.h"
#include "core/json.h"
#include "platform/http.h"
#include "plugin/plugin_identity.h"

namespace {

struct PollInFlightRelease {
  ~PollInFlightRelease() { bridgeState().pollInFlight.store(false); }
};

} // namespace

PollReply ClassifyPollReply(std::string_view reply) {
  if (reply.find("\"command\":null") != std::string_view::npos ||
      reply.find("\"command\": null") != std::string_view::npos) {
    return {};
  }
  PollReply parsed{JsonStringField(reply, "id"), JsonStringField(reply, "type")};
  if (parsed.id.empty() || parsed.type.empty()) return {};
  return parsed;
}

std::string PollUrl(std::string_view baseUrl, std::string_view licenseKey) {
  std::string url;
  url.reserve(baseUrl.size() + licenseKey.size() * 3 + 64);
  url += baseUrl;
  url += kNextCommandPath;
  url += "?licenseKey=";
  url += PercentEncode(licenseKey);
  url += "&version=";
  url += kVersionText;
  return url;
}

bool ConsiderPoll() {
  BridgeState& state = bridgeState();
  const int64_t now = steadyNowMs();
  {
    const std::lock_guard<std::mutex> lock(stateMutex());
    if (now - state.lastPollAtMs < kPollSpacingMs) return false;
    state.lastPollAtMs = now;
  }
  // The spacing restarts from this decision even when a running poll keeps us from starting one.
  if (state.pollInFlight.exchange(true)) return false;
  std::string baseUrl = CopyBaseUrl();
  std::string licenseKey = CopyLicenseKey();
  launchBackgroundTask([baseUrl = std::move(baseUrl), licenseKey = std::move(licenseKey)] {
    pollCommandOnce(baseUrl, licenseKey);
  });
  return true;
}

void pollCommandOnce(const std::string& baseUrl, const std::string& licenseKey) {
  const PollInFlightRelease release;
  std::string reply;
  std::string error;
  if (!HttpGet(PollUrl(baseUrl, licenseKey), reply, error)) return;
  PollReply command = ClassifyPollReply(reply);
  if (command.id.empty()) return;
  BridgeState& state = bridgeState();
  const std::lock_guard<std::mutex> lock(stateMutex());
  state.pendingCommandId = std::move(command.id);
  state.pendingCommandType = std::move(command.type);
  state.pendingCommandBody = std::move(reply);
  // Raised under the lock, so whoever takes the flag copies a whole command.
  state.commandPending.store(true);
}
