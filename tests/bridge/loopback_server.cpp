#include "loopback_server.h"

#include <cctype>

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string HeaderValue(const std::string& head, const std::string& name) {
  const std::size_t at = Lower(head).find("\r\n" + Lower(name) + ": ");
  if (at == std::string::npos) return "";
  const std::size_t start = at + name.size() + 4;
  return head.substr(start, head.find("\r\n", start) - start);
}

} // namespace

LoopbackServer::LoopbackServer() {
  listener_ = ListenOnLoopback(port_);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  // A connection of our own wakes the blocking accept so that it sees the stop.
  CloseSocket(ConnectToLoopback(port_));
  thread_.join();
  CloseSocket(listener_);
}

std::string LoopbackServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

void LoopbackServer::Answer(const std::string& pathPrefix, int status, const std::string& body) {
  const std::lock_guard<std::mutex> lock(mutex_);
  replies_.push_back({pathPrefix, status, body});
}

std::vector<ReceivedRequest> LoopbackServer::Requests() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void LoopbackServer::Serve() {
  if (listener_ == kNoSocket) return;
  for (;;) {
    const SocketHandle connection = AcceptConnection(listener_);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) {
        CloseSocket(connection);
        return;
      }
    }
    if (connection == kNoSocket) continue;
    HandleConnection(connection);
    CloseSocket(connection);
  }
}

void LoopbackServer::HandleConnection(SocketHandle connection) {
  std::string received;
  char buffer[4096];
  std::size_t headEnd = std::string::npos;
  while ((headEnd = received.find("\r\n\r\n")) == std::string::npos) {
    const long count = ReceiveSome(connection, buffer, sizeof(buffer));
    if (count <= 0) return;
    received.append(buffer, static_cast<std::size_t>(count));
  }
  const std::string head = received.substr(0, headEnd);
  std::string body = received.substr(headEnd + 4);

  ReceivedRequest request;
  const std::size_t methodEnd = head.find(' ');
  const std::size_t targetEnd = head.find(' ', methodEnd + 1);
  request.method = head.substr(0, methodEnd);
  request.target = head.substr(methodEnd + 1, targetEnd - methodEnd - 1);
  request.contentType = HeaderValue(head, "Content-Type");
  request.userAgent = HeaderValue(head, "User-Agent");

  const std::string lengthText = HeaderValue(head, "Content-Length");
  const std::size_t length = lengthText.empty() ? 0 : std::stoul(lengthText);
  if (Lower(HeaderValue(head, "Expect")) == "100-continue" && body.size() < length) {
    SendAll(connection, "HTTP/1.1 100 Continue\r\n\r\n");
  }
  while (body.size() < length) {
    const long count = ReceiveSome(connection, buffer, sizeof(buffer));
    if (count <= 0) return;
    body.append(buffer, static_cast<std::size_t>(count));
  }
  request.body = body.substr(0, length);

  Reply reply{"", 200, "{}"};
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string path = request.target.substr(0, request.target.find('?'));
    for (const Reply& scripted : replies_) { // the latest matching script wins
      if (path.rfind(scripted.pathPrefix, 0) == 0) reply = scripted;
    }
    requests_.push_back(std::move(request));
  }
  if (reply.status < 0) return;
  SendAll(connection, "HTTP/1.1 " + std::to_string(reply.status) +
                          " Scripted\r\nContent-Type: application/json\r\nContent-Length: " +
                          std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n" +
                          reply.body);
}

std::string UnreachableBaseUrl() {
  uint16_t port = 0;
  const SocketHandle listener = ListenOnLoopback(port);
  CloseSocket(listener);
  return "http://127.0.0.1:" + std::to_string(port);
}
