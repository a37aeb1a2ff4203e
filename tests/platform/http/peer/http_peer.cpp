// A scriptable HTTP server for the client's tests: it records every request (method, target,
// headers in order, body bytes) and answers each path as a test scripted it: any status, any
// body, a wrong Content-Length, a slow or cut-off body, or no reply at all. The tests script it
// and read its records over HTTP under /peer/, so Linux and Windows (Wine) tests share one
// native program.
//
//   tideloom_http_peer start PORT PIDFILE   (returns once the peer listens)
//   tideloom_http_peer stop PIDFILE
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "peer_protocol.h"

namespace {

using nlohmann::json;

struct Socket {
  int fd = -1;
  explicit Socket(int d) : fd(d) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() {
    if (fd >= 0) close(fd);
  }
};

struct Request {
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

std::mutex gMutex;
std::vector<Request> gRequests;
std::map<std::string, json> gScripts; // by path, without the query

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// Reads until `buffer` holds at least `size` bytes; false when the peer closed first.
bool Fill(int fd, std::string& buffer, std::size_t size) {
  char chunk[65536];
  while (buffer.size() < size) {
    const ssize_t got = recv(fd, chunk, sizeof(chunk), 0);
    if (got <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(got));
  }
  return true;
}

std::optional<Request> ReadRequest(int fd) {
  std::string buffer;
  std::size_t headEnd;
  while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
    if (buffer.size() > (1 << 20) || !Fill(fd, buffer, buffer.size() + 1)) return std::nullopt;
  }
  Request request;
  std::string rest = buffer.substr(headEnd + 4);
  std::istringstream head(buffer.substr(0, headEnd + 2));
  std::string line;
  if (!std::getline(head, line) ||
      !(std::istringstream(line) >> request.method >> request.target)) {
    return std::nullopt;
  }
  std::size_t contentLength = 0;
  while (std::getline(head, line)) {
    line.pop_back(); // the '\r'
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = line.substr(0, colon);
    const std::string value =
        line.substr(std::min(line.find_first_not_of(' ', colon + 1), line.size()));
    request.headers.emplace_back(name, value);
    // The client always announces its body's length, never chunks it.
    if (strcasecmp(name.c_str(), "content-length") == 0) contentLength = std::stoull(value);
  }
  if (!Fill(fd, rest, contentLength)) return std::nullopt;
  request.body = rest.substr(0, contentLength);
  return request;
}

std::string Path(const std::string& target) { return target.substr(0, target.find('?')); }

// The control paths take at most one query parameter.
std::string QueryValue(const std::string& target) {
  const std::size_t equals = target.find('=');
  return equals == std::string::npos ? "" : target.substr(equals + 1);
}

int Listen(uint16_t port, uint16_t& boundPort) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(fd, 64) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return -1;
  }
  boundPort = ntohs(address.sin_port);
  return fd;
}

std::string Reply(int status, const std::string& body, const std::string& type = "text/plain") {
  return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         body;
}

std::string Control(const Request& request) {
  const std::string path = Path(request.target);
  if (path == "/peer/script") {
    const json script = json::parse(request.body);
    std::lock_guard lock(gMutex);
    gScripts[script.at("path").get<std::string>()] = script;
    return Reply(200, "ok");
  }
  if (path == "/peer/requests") {
    const std::string prefix = QueryValue(request.target);
    json list = json::array();
    std::lock_guard lock(gMutex);
    for (const Request& recorded : gRequests) {
      if (recorded.target.compare(0, prefix.size(), prefix) != 0) continue;
      json headers = json::array();
      for (const auto& [name, value] : recorded.headers)
        headers.push_back({name, value});
      list.push_back({{"method", recorded.method},
                      {"target", recorded.target},
                      {"headers", headers},
                      {"bodyHex", Hex(recorded.body)}});
    }
    return Reply(200, list.dump(), "application/json");
  }
  if (path == "/peer/free-port") {
    uint16_t port = 0;
    const int fd = Listen(0, port);
    if (fd >= 0) close(fd);
    return Reply(200, json{{"port", port}}.dump(), "application/json");
  }
  return Reply(404, "unknown control path");
}

std::string ScriptedBody(const json& script) {
  if (script.contains("bodySize")) {
    std::string body(script["bodySize"].get<std::size_t>(), '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
      body[i] = static_cast<char>(i % 251);
    return body;
  }
  return script.value("body", std::string());
}

void Answer(int fd, const json& script) {
  if (script.value("closeWithoutReply", false)) return;
  const std::string body = ScriptedBody(script);
  const long long announced = script.value("contentLength", static_cast<long long>(body.size()));
  std::string head = "HTTP/1.1 " + std::to_string(script.value("status", 200)) + " Scripted\r\n";
  if (script.contains("headers")) {
    for (const auto& header : script["headers"]) {
      head += header[0].get<std::string>() + ": " + header[1].get<std::string>() + "\r\n";
    }
  }
  if (announced >= 0) head += "Content-Length: " + std::to_string(announced) + "\r\n";
  head += "Connection: close\r\n\r\n";
  if (!SendAll(fd, head)) return;

  const std::size_t sendBytes =
      std::min(body.size(), script.value("sendBytes", static_cast<std::size_t>(body.size())));
  const std::size_t piece = script.value("chunkSize", static_cast<std::size_t>(1 << 20));
  const int delayMs = script.value("chunkDelayMs", 0);
  for (std::size_t at = 0; at < sendBytes; at += piece) {
    if (!SendAll(fd, std::string_view(body).substr(at, std::min(piece, sendBytes - at)))) return;
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  }
}

// A TLS handshake starts with record type 22; its first bytes are all a test can check.
bool RecordedTlsHandshake(int fd) {
  char bytes[64];
  if (recv(fd, bytes, 1, MSG_PEEK) != 1 || bytes[0] != 0x16) return false;
  const ssize_t got = recv(fd, bytes, sizeof(bytes), 0);
  std::lock_guard lock(gMutex);
  gRequests.push_back({"TLS", kTlsTarget, {}, std::string(bytes, static_cast<std::size_t>(got))});
  return true;
}

void Serve(int fd) {
  Socket connection(fd);
  if (RecordedTlsHandshake(connection.fd)) return;
  const std::optional<Request> request = ReadRequest(connection.fd);
  if (!request) return;
  if (request->target.rfind("/peer/", 0) == 0) {
    std::string reply;
    try {
      reply = Control(*request);
    } catch (const std::exception& e) {
      reply = Reply(400, e.what());
    }
    SendAll(connection.fd, reply);
  } else {
    json script = {{"status", 200}, {"body", "peer default reply"}};
    {
      std::lock_guard lock(gMutex);
      gRequests.push_back(*request);
      const auto found = gScripts.find(Path(request->target));
      if (found != gScripts.end()) script = found->second;
    }
    Answer(connection.fd, script);
  }
  // Let the client read everything before the connection goes away.
  shutdown(connection.fd, SHUT_WR);
  char drain[4096];
  pollfd reading{connection.fd, POLLIN, 0};
  while (poll(&reading, 1, 2000) > 0 && recv(connection.fd, drain, sizeof(drain), 0) > 0) {
  }
}

// Only a process that is still this program is stopped: the id may have been reused since.
bool IsPeerProcess(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  return std::getline(comm, name) && std::string("tideloom_http_peer").rfind(name, 0) == 0;
}

void Stop(const std::string& pidFile) {
  std::ifstream in(pidFile);
  pid_t pid = 0;
  if (in >> pid && pid > 0 && IsPeerProcess(pid)) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 100 && kill(pid, 0) == 0; ++i)
      usleep(20000);
  }
  std::remove(pidFile.c_str());
}

} // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  signal(SIGPIPE, SIG_IGN);
  if (command == "stop" && argc == 3) {
    Stop(argv[2]);
    return 0;
  }
  if (command != "start" || argc != 4) {
    std::fprintf(stderr, "usage: tideloom_http_peer start PORT PIDFILE | stop PIDFILE\n");
    return 2;
  }
  const std::string pidFile = argv[3];
  Stop(pidFile); // a peer left over from an interrupted run
  // Bound before the fork, so connections wait in the backlog until the child accepts them.
  uint16_t port = 0;
  const int listenFd = Listen(static_cast<uint16_t>(std::stoi(argv[2])), port);
  if (listenFd < 0) {
    std::fprintf(stderr, "tideloom_http_peer: cannot listen on 127.0.0.1:%s\n", argv[2]);
    return 1;
  }
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child > 0) {
    std::ofstream(pidFile) << child << "\n";
    std::printf("tideloom_http_peer listening on 127.0.0.1:%u\n", port);
    return 0;
  }
  setsid();
  std::freopen("/dev/null", "r", stdin);
  // ctest waits for the output pipes of a fixture to close.
  std::freopen("/dev/null", "w", stdout);
  std::freopen("/dev/null", "w", stderr);
  for (;;) {
    const int fd = accept(listenFd, nullptr, nullptr);
    if (fd >= 0) std::thread(Serve, fd).detach();
  }
}
