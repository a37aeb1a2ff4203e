// A real HTTP server on 127.0.0.1 inside the test process, standing in for the web service: it
// answers with scripted replies and keeps every request it read, whole, before answering.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_socket.h"

struct ReceivedRequest {
  std::string method;
  std::string target; // path and query exactly as sent
  std::string contentType;
  std::string userAgent;
  std::string body;
};

class LoopbackServer {
public:
  LoopbackServer();
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // "http://127.0.0.1:<port>"
  std::string BaseUrl() const;

  // Requests whose path starts with `pathPrefix` get this reply (the latest matching script
  // wins); all others get 200 with "{}".
  void Answer(const std::string& pathPrefix, int status, const std::string& body);

  std::vector<ReceivedRequest> Requests() const;

private:
  struct Reply {
    std::string pathPrefix;
    int status;
    std::string body;
  };
  void Serve();
  void HandleConnection(SocketHandle connection);

  uint16_t port_ = 0;
  SocketHandle listener_ = kNoSocket;
  bool stopping_ = false;
  mutable std::mutex mutex_;
  std::vector<Reply> replies_;
  std::vector<ReceivedRequest> requests_;
  std::thread thread_;
};

// A base URL where nothing listens, for exchanges that must fail.
std::string UnreachableBaseUrl();
