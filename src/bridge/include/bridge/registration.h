// Pairing this installation with the service: TideLoom.Register's work, apart from reading its
// parameters and asking the host for the calling file's name.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tideloom {

struct RegistrationRequest {
  std::string email;
  std::string licenseKey;
  std::string machineId;
  std::string baseUrl; // empty: the service's default
};

// {"email":…,"licenseKey":…,"machineId":…,"pluginVersion":…}
std::string RegistrationBody(const RegistrationRequest& request);

// Sends the registration and, only when the service accepted it (a 2xx reply), switches the
// bridge on, stores key and base URL, remembers the calling file (`callingFileName`, asked
// after acceptance) and starts an update check. Returns "OK" or the failure's text.
std::string RegisterBridge(const RegistrationRequest& request,
                           const std::function<std::string()>& callingFileName);

} // namespace tideloom
