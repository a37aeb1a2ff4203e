// A scriptable HTTP server for the client's tests: it records every request (method, target,
// headers in order, body bytes) and answers each path as a test scripted it: any status, headers
// and body, a wrong Content-Length, a slow or cut-off body, or no reply at all. The tests script
// it and read its records over HTTP under /peer/, so Linux and Windows (Wine) tests share one
// native program.
//
//   tideloom_http_peer start PORT PIDFILE   (returns once the peer listens)
//   tideloom_http_peer stop PIDFILE
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>

#include "peer_protocol.h"

namespace {

using nlohmann::json;

std::mutex gMutex;
json gRequests = json::array();       // as /peer/requests lists them
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

// The request as a record, with its body; null when the connection ends first.
json ReadRequest(int fd, std::string& body) {
  std::size_t headEnd;
  while ((headEnd = body.find("\r\n\r\n")) == std::string::npos) {
    if (body.size() > (1 << 20) || !Fill(fd, body, body.size() + 1)) return nullptr;
  }
  std::istringstream head(body.substr(0, headEnd + 2));
  std::string line, method, target;
  if (!std::getline(head, line) || !(std::istringstream(line) >> method >> target)) return nullptr;
  json headers = json::array();
  std::size_t contentLength = 0;
  while (std::getline(head, line)) {
    line.pop_back(); // the '\r'
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = line.substr(0, colon);
    const std::string value =
        line.substr(std::min(line.find_first_not_of(' ', colon + 1), line.size()));
    headers.push_back({name, value});
    // The client always announces its body's length, never chunks it.
    if (strcasecmp(name.c_str(), "content-length") == 0) contentLength = std::stoull(value);
  }
  body.erase(0, headEnd + 4);
  if (!Fill(fd, body, contentLength)) return nullptr;
  body.resize(contentLength);
  return {{"method", method}, {"target", target}, {"headers", headers}, {"body", ByteValues(body)}};
}

int Listen(uint16_t port, uint16_t& boundPort) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(fd, 64) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  boundPort = ntohs(address.sin_port);
  return fd;
}

// The answer to a control request, as a script.
json Control(const std::string& target, const std::string& body) {
  std::lock_guard lock(gMutex);
  if (target == "/peer/script") {
    const json script = json::parse(body);
    gScripts[script.at("path").get<std::string>()] = script;
    return {{"body", "ok"}};
  }
  if (target.starts_with("/peer/requests")) {
    // The one query parameter is the prefix.
    const std::size_t equals = target.find('=');
    const std::string prefix = equals == std::string::npos ? "" : target.substr(equals + 1);
    json list = json::array();
    for (const json& recorded : gRequests) {
      if (recorded["target"].get<std::string>().starts_with(prefix)) list.push_back(recorded);
    }
    return {{"body", list.dump()}};
  }
  if (target == "/peer/free-port") {
    uint16_t port = 0;
    const int fd = Listen(0, port);
    if (fd >= 0) close(fd);
    return {{"body", json{{"port", port}}.dump()}};
  }
  return {{"status", 404}, {"body", "unknown control path"}};
}

// Writes the reply a script asks for; a scripted status, headers, Content-Length and cut-off
// are sent as they are, right or wrong.
void Answer(int fd, const json& script) {
  if (script.value("closeWithoutReply", false)) return;
  const std::string body = script.contains("bodySize")
                               ? Patterned(script["bodySize"].get<std::size_t>())
                               : script.value("body", std::string());
  const long long announced = script.value("contentLength", static_cast<long long>(body.size()));
  std::string head = "HTTP/1.1 " + std::to_string(script.value("status", 200)) + " Scripted\r\n";
  const json headers = script.value("headers", json::object());
  for (const auto& [name, value] : headers.items())
    head += name + ": " + value.get<std::string>() + "\r\n";
  if (announced >= 0) head += "Content-Length: " + std::to_string(announced) + "\r\n";
  if (!SendAll(fd, head + "Connection: close\r\n\r\n")) return;
  const std::size_t sendBytes = std::min(body.size(), script.value("sendBytes", body.size()));
  const std::size_t piece = script.value("chunkSize", std::size_t{1} << 20);
  for (std::size_t at = 0; at < sendBytes; at += piece) {
    if (!SendAll(fd, std::string_view(body).substr(at, std::min(piece, sendBytes - at)))) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(script.value("chunkDelayMs", 0)));
  }
}

void Respond(int fd) {
  // A TLS handshake starts with record type 22; its first bytes are all a test can check.
  char bytes[64];
  if (recv(fd, bytes, 1, MSG_PEEK) == 1 && bytes[0] == 0x16) {
    const std::string hello(bytes, static_cast<std::size_t>(recv(fd, bytes, sizeof(bytes), 0)));
    std::lock_guard lock(gMutex);
    gRequests.push_back({{"method", "TLS"},
                         {"target", kTlsTarget},
                         {"headers", json::array()},
                         {"body", ByteValues(hello)}});
    return;
  }
  std::string body;
  const json request = ReadRequest(fd, body);
  if (request.is_null()) return;
  const std::string target = request["target"], path = target.substr(0, target.find('?'));
  if (target.starts_with("/peer/")) {
    json reply;
    try {
      reply = Control(target, body);
    } catch (const std::exception& e) {
      reply = {{"status", 400}, {"body", e.what()}};
    }
    return Answer(fd, reply);
  }
  json script = {{"status", 200}, {"body", "peer default reply"}};
  {
    std::lock_guard lock(gMutex);
    gRequests.push_back(request);
    if (gScripts.contains(path)) script = gScripts[path];
  }
  Answer(fd, script);
}

void Serve(int fd) {
  Respond(fd);
  // Let the client read everything before the connection goes away.
  shutdown(fd, SHUT_WR);
  char drain[4096];
  pollfd reading{fd, POLLIN, 0};
  while (poll(&reading, 1, 2000) > 0 && recv(fd, drain, sizeof(drain), 0) > 0) {
  }
  close(fd);
}

void Stop(const std::string& pidFile) {
  pid_t pid = 0;
  std::string name;
  // Only a process that is still this program is stopped: the id may have been reused since.
  if (std::ifstream(pidFile) >> pid && pid > 0 &&
      std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name) &&
      std::string("tideloom_http_peer").starts_with(name)) {
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
  Stop(argv[3]); // a peer left over from an interrupted run
  // Bound before the fork, so connections wait in the backlog until the child accepts them.
  uint16_t port = 0;
  const int listenFd = Listen(static_cast<uint16_t>(std::stoi(argv[2])), port);
  if (listenFd < 0) {
    std::fprintf(stderr, "tideloom_http_peer: cannot listen on 127.0.0.1:%s\n", argv[2]);
    return 1;
  }
  std::printf("tideloom_http_peer listening on 127.0.0.1:%u\n", port);
  std::fflush(stdout);
  // Detached, with its output pipes closed: ctest waits for those of a fixture to close.
  if (daemon(1, 0) != 0) return 1;
  std::ofstream(argv[3]) << getpid() << "\n";
  for (;;) {
    const int fd = accept(listenFd, nullptr, nullptr);
    if (fd >= 0) std::thread(Serve, fd).detach();
  }
}
