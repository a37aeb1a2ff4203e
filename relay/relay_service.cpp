#include "relay/relay_service.h"

#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>

#include "relay/stored_files.h"

namespace {

// A connection that sends or takes nothing for this long is closed; each read and write gets the
// whole time again, so a large upload is never cut for being large.
constexpr time_t kReadTimeoutSeconds = 10;
constexpr time_t kWriteTimeoutSeconds = 10;
// An idle kept-alive connection waits this long for its next request (the library default).
constexpr time_t kKeepAliveSeconds = 5;
constexpr std::size_t kKeepAliveRequests = 100;
// Connections arriving together (the page's refresh, a burst of polls) wait in the kernel rather
// than being refused; the library's own backlog is 5.
constexpr int kListenBacklog = 128;
// Held and slow connections each keep a worker busy, so workers are started as connections need
// them rather than capped at a few: one slow client must not leave everyone else unanswered.
constexpr std::size_t kMaxWorkers = 512;

class GrowingTaskQueue : public httplib::TaskQueue {
public:
  void enqueue(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    if (tasks_.size() > idle_ && workers_.size() < kMaxWorkers) {
      workers_.emplace_back([this] { Work(); });
    } else {
      ready_.notify_one();
    }
  }

  // Runs what was accepted, then ends every worker.
  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& worker : workers_)
      worker.join();
  }

private:
  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      ++idle_;
      ready_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      --idle_;
      if (tasks_.empty()) return;
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> workers_;
  std::size_t idle_ = 0;
  bool stopping_ = false;
};

} // namespace

RelayService::~RelayService() { StopRelayService(*this); }

std::unique_ptr<RelayService> StartRelayService(const RelayServiceConfig& config) {
  auto service = std::make_unique<RelayService>();
  service->store = OpenRelayStore(config.dataDir);
  RemoveUnfinishedUploads(IngestFolder(*service->store));
  service->context.store = service->store.get();
  service->context.host = config.host;
  service->context.pluginVersion = config.pluginVersion;
  service->context.acceptedKeys = config.acceptedKeys;
  for (const HoldRule& rule : config.holds)
    SetHoldRule(service->context.holds, rule);

  httplib::Server& server = service->server;
  server.new_task_queue = [] { return new GrowingTaskQueue(); };
  server.set_read_timeout(kReadTimeoutSeconds);
  server.set_write_timeout(kWriteTimeoutSeconds);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  server.set_keep_alive_max_count(kKeepAliveRequests);
  int listening = -1;
  server.set_socket_options([&listening](socket_t sock) {
    httplib::default_socket_options(sock);
    listening = sock;
  });
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
  // Listening again on the bound socket only raises its queue of waiting connections.
  if (::listen(listening, kListenBacklog) != 0) {
    throw std::runtime_error("cannot listen on " + config.host);
  }
  server.set_socket_options(httplib::default_socket_options);
  service->context.port = service->port;
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
