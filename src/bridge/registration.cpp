#include "bridge/registration.h"

#include <mutex>

#include "bridge/bridge_messages.h"
#include "bridge/bridge_state.h"
#include "bridge/service_protocol.h"
#include "bridge/update_check.h"
#include "core/json.h"
#include "core/parameter_messages.h"
#include "hostapi/plugin_identity.h"
#include "platform/config_store.h"
#include "platform/http.h"

namespace tideloom {

namespace {

std::string_view FirstMissingValue(const RegistrationRequest& request, std::string_view baseUrl) {
  if (request.email.empty()) return kEmptyEmailMessage;
  if (request.licenseKey.empty()) return kLicenseKeyEmpty;
  if (request.machineId.empty()) return kEmptyMachineIdMessage;
  if (baseUrl.empty()) return kEmptyBaseUrlMessage;
  return {};
}

bool IsAcceptance(int httpStatus) { return httpStatus >= 200 && httpStatus <= 299; }

} // namespace

std::string RegistrationBody(const RegistrationRequest& request) {
  return JsonObjectWriter()
      .String("email", request.email)
      .String("licenseKey", request.licenseKey)
      .String("machineId", request.machineId)
      .String("pluginVersion", kVersionText)
      .Finish();
}

std::string RegisterBridge(const RegistrationRequest& request,
                           const std::function<std::string()>& callingFileName) {
  const std::string baseUrl =
      request.baseUrl.empty() ? std::string(kDefaultBaseUrl) : request.baseUrl;
  if (const std::string_view missing = FirstMissingValue(request, baseUrl); !missing.empty()) {
    return std::string(missing);
  }

  std::string url = baseUrl;
  url += kRegisterPath;
  const HttpReply reply = HttpPostJson(url, RegistrationBody(request));
  if (!reply) return reply.error;
  // A refused key must not be stored as if it worked: the bridge keeps what it had.
  if (!IsAcceptance(reply.status)) return RegistrationRefusedMessage(reply.status, reply.body);

  bridgeState().Configure(request.licenseKey, baseUrl);
  WriteConfigValues(request.licenseKey, baseUrl);

  const std::string fileName = callingFileName ? callingFileName() : std::string();
  if (!fileName.empty()) bridgeState().SetRegisteredFileName(fileName);
  StartUpdateCheck();
  return std::string(kRegisteredMessage);
}

} // namespace tideloom
