#include "bridge/command_poller.h"

#include "bridge/background_task.h"
#include "bridge/bridge_state.h"
#include "bridge/service_protocol.h"
#include "core/json.h"
#include "core/percent_encoding.h"
#include "hostapi/plugin_identity.h"
#include "platform/http.h"

namespace tideloom {

namespace {

struct PollInFlightRelease {
  SessionToken session;
  ~PollInFlightRelease() { bridgeState().EndPoll(session); }
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
  const std::optional<SessionToken> session =
      bridgeState().ClaimPoll(steadyNowMs(), kPollSpacingMs);
  if (!session) return false;
  auto [baseUrl, licenseKey] = bridgeState().ReadCredentials();
  launchBackgroundTask(
      [session = *session, baseUrl = std::move(baseUrl), licenseKey = std::move(licenseKey)] {
        pollCommandOnce(session, baseUrl, licenseKey);
      });
  return true;
}

void pollCommandOnce(SessionToken session, const std::string& baseUrl,
                     const std::string& licenseKey) {
  const PollInFlightRelease release{session};
  HttpReply reply = HttpGet(PollUrl(baseUrl, licenseKey), kPollLimitMs);
  if (!reply) return;
  PollReply command = ClassifyPollReply(reply.body);
  if (command.id.empty()) return;
  bridgeState().StorePolledCommand(
      session, {std::move(command.id), std::move(command.type), std::move(reply.body)});
}

} // namespace tideloom
