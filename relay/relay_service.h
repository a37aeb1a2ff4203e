// A running relay: the store, the endpoints and the listening thread, started and stopped as one.
#pragma once

#include <httplib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "relay/relay_holds.h"
#include "relay/relay_routes.h"
#include "relay/relay_store.h"

struct RelayServiceConfig {
  std::string host = "127.0.0.1";
  int port = 0; // 0: any free port
  std::filesystem::path dataDir;
  std::string pluginVersion;
  std::optional<std::set<std::string>> acceptedKeys;
  std::vector<HoldRule> holds;
};

struct RelayService {
  std::unique_ptr<RelayStore> store;
  RelayContext context;
  httplib::Server server;
  std::thread listener;
  int port = 0;

  RelayService() = default;
  RelayService(const RelayService&) = delete;
  RelayService& operator=(const RelayService&) = delete;
  ~RelayService();
};

// Opens the store, binds, and serves on a thread of its own once this returns.
// Throws std::runtime_error when the store cannot be opened or the address cannot be bound.
std::unique_ptr<RelayService> StartRelayService(const RelayServiceConfig& config);

// Ends every hold, stops accepting, and waits for the requests being answered. Idempotent.
void StopRelayService(RelayService& service);
