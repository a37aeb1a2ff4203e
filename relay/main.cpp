// tideloom-relay: a local web service for the TideLoom bridge to poll and report to.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "relay/relay_messages.h"
#include "relay/relay_options.h"
#include "relay/relay_service.h"

namespace {

int Fail(const std::string& message, int code) {
  std::cerr << "tideloom-relay: " << message << "\n";
  return code;
}

} // namespace

int main(int argc, char** argv) {
  const RelayOptionsResult parsed =
      ParseRelayOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    return Fail(parsed.error + "\n" + std::string(relay_text::kUsage), 2);
  }
  const RelayOptions& options = parsed.options;
  if (options.showHelp) {
    std::cout << relay_text::kUsage;
    return 0;
  }

  RelayServiceConfig config;
  config.host = options.host;
  config.port = options.port;
  config.dataDir = options.dataDir;
  config.pluginVersion = options.pluginVersion;
  config.holds = options.holds;
  if (options.keysFile) {
    config.acceptedKeys = LoadAcceptedKeys(*options.keysFile);
    if (!config.acceptedKeys) return Fail("cannot read keys file " + options.keysFile->string(), 2);
  }

  // Signals are taken by sigwait below, so no request thread is ever interrupted by one.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<RelayService> service;
  try {
    service = StartRelayService(config);
  } catch (const std::exception& error) {
    return Fail(error.what(), 1);
  }
  std::cout << relay_text::ListeningLine(RelayUrl(options.host, service->port)) << "\n"
            << "data folder: " << service->store->dataDir.string() << std::endl;

  int received = 0;
  sigwait(&stopSignals, &received);
  StopRelayService(*service);
  std::cout << "tideloom-relay stopped" << std::endl;
  return 0;
}
