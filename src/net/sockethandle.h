// The socket of one connection and the addresses of both ends.
#pragma once
#include <string>

#include "platform/socket.h"

struct TNetSocketHandle {
  platform::TcpSocket Socket;
  std::string IP;
  int Port = 0;
  std::string PeerIP;
  int PeerPort = 0;

  bool Allocated() const { return Socket.Valid(); }
  // Closes the socket and clears the addresses.
  void Reset();
};
