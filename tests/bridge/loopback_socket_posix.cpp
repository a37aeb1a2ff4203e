#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "loopback_socket.h"

namespace {

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

} // namespace

SocketHandle ListenOnLoopback(uint16_t& port) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  if (listener < 0) return kNoSocket;
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof(address);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, 16) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(listener);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return listener;
}

SocketHandle AcceptConnection(SocketHandle listener) {
  const int connection = accept(static_cast<int>(listener), nullptr, nullptr);
  return connection < 0 ? kNoSocket : connection;
}

SocketHandle ConnectToLoopback(uint16_t port) {
  const int connection = socket(AF_INET, SOCK_STREAM, 0);
  if (connection < 0) return kNoSocket;
  const sockaddr_in address = LoopbackAddress(port);
  if (connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    close(connection);
    return kNoSocket;
  }
  return connection;
}

long ReceiveSome(SocketHandle socket, char* buffer, long capacity) {
  return static_cast<long>(
      recv(static_cast<int>(socket), buffer, static_cast<size_t>(capacity), 0));
}

bool SendAll(SocketHandle socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t count =
        send(static_cast<int>(socket), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) return false;
    sent += static_cast<size_t>(count);
  }
  return true;
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) close(static_cast<int>(socket));
}
