#include <winsock2.h>
#include <ws2tcpip.h>

#include "loopback_socket.h"

namespace {

struct WinsockSession {
  WinsockSession() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockSession() { WSACleanup(); }
};

void EnsureWinsock() { static WinsockSession session; }

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

SocketHandle ToHandle(SOCKET socket) {
  return socket == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(socket);
}

} // namespace

SocketHandle ListenOnLoopback(uint16_t& port) {
  EnsureWinsock();
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return kNoSocket;
  sockaddr_in address = LoopbackAddress(0);
  int length = sizeof(address);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, 16) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(listener);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return ToHandle(listener);
}

SocketHandle AcceptConnection(SocketHandle listener) {
  return ToHandle(accept(static_cast<SOCKET>(listener), nullptr, nullptr));
}

SocketHandle ConnectToLoopback(uint16_t port) {
  EnsureWinsock();
  const SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (connection == INVALID_SOCKET) return kNoSocket;
  const sockaddr_in address = LoopbackAddress(port);
  if (connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    closesocket(connection);
    return kNoSocket;
  }
  return ToHandle(connection);
}

long ReceiveSome(SocketHandle socket, char* buffer, long capacity) {
  return recv(static_cast<SOCKET>(socket), buffer, static_cast<int>(capacity), 0);
}

bool SendAll(SocketHandle socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int count = send(static_cast<SOCKET>(socket), bytes.data() + sent,
                           static_cast<int>(bytes.size() - sent), 0);
    if (count <= 0) return false;
    sent += static_cast<size_t>(count);
  }
  return true;
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) closesocket(static_cast<SOCKET>(socket));
}
