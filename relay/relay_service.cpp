#include "relay/relay_service.h"

#include <chrono>
#include <stdexcept>

namespace {

// Uploads of a whole solution's XML run to hundreds of megabytes.
constexpr std::size_t kMaxBodyBytes = std::size_t{256} * 1024 * 1024;
// Held requests each keep a worker busy, so there are more workers than cores.
constexpr std::size_t kWorkerThreads = 16;

} // namespace

RelayService::~RelayService() { StopRelayService(*this); }

std::unique_ptr<RelayService> StartRelayService(const RelayServiceConfig& config) {
  auto service = std::make_unique<RelayService>();
  service->store = OpenRelayStore(config.dataDir);
  service->context.store = service->store.get();
  service->context.pluginVersion = config.pluginVersion;
  service->context.acceptedKeys = config.acceptedKeys;
  for (const HoldRule& rule : config.holds)
    SetHoldRule(service->context.holds, rule);

  httplib::Server& server = service->server;
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  server.set_payload_max_length(kMaxBodyBytes);
  InstallRelayRoutes(server, service->context);

  if (config.port == 0) {
    service->port = server.bind_to_any_port(config.host);
    if (service->port < 0) throw std::runtime_error("cannot listen on " + config.host);
  } else {
    if (!server.bind_to_port(config.host, config.port)) {
      throw std::runtime_error("cannot listen on " + config.host + " port " +
                               std::to_string(config.port));
    }
    service->port = config.port;
  }
  service->listener = std::thread([&server] { server.listen_after_bind(); });
  // stop() is ignored until the accept loop runs, so do not hand out a service before that.
  while (!server.is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return service;
}

void StopRelayService(RelayService& service) {
  ReleaseAllHolds(service.context.holds);
  service.server.stop();
  if (service.listener.joinable()) service.listener.join();
}
