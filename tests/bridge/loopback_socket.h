// The few socket calls the tests' loopback server needs, one file per system.
#pragma once

#include <cstdint>
#include <string>

using SocketHandle = intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// A listening socket on 127.0.0.1 with a port of the system's choosing.
SocketHandle ListenOnLoopback(uint16_t& port);
SocketHandle AcceptConnection(SocketHandle listener);
SocketHandle ConnectToLoopback(uint16_t port);
// Bytes received into `buffer`; 0 at the end of the stream, negative on failure.
long ReceiveSome(SocketHandle socket, char* buffer, long capacity);
bool SendAll(SocketHandle socket, const std::string& bytes);
void CloseSocket(SocketHandle socket);
