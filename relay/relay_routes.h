// The relay's HTTP endpoints: the ones the plug-in's bridge talks to under /api/, and the
// development ones under /dev/ that queue commands and show what arrived.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>

#include "relay/relay_holds.h"
#include "relay/relay_store.h"

namespace httplib {
class Server;
}

// The largest upload the plug-in can send.
inline constexpr std::size_t kMaxUploadBytes = 4294967295u;

struct RelayContext {
  RelayStore* store = nullptr;
  std::string host; // as given with --host
  int port = 0;
  std::string pluginVersion;
  std::optional<std::set<std::string>> acceptedKeys; // nullopt: every key is accepted
  HoldTable holds;
};

void InstallRelayRoutes(httplib::Server& server, RelayContext& context);
