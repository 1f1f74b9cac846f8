// The client end of a TCP connection: connects to a host and port, then talks through
// the connection layer.
#pragma once
#include <functional>
#include <string>

#include "net/tcpconnection.h"

class TNetTCPClient : public TNetTCPConnection {
 public:
  std::string Host;     // host name, dotted address, or "LOCALHOST"
  int Port = 0;
  std::string BoundIP;  // local address to bind; empty binds any
  bool UseNagle = true; // false sets the TCP no-delay option

  std::function<void(TNetComponent* Sender)> OnConnected;

  // Connects to Host:Port. A port outside 1..65535 fails with ENetException before
  // anything is done; the name lookup and the connect each end after InactivityTimeout.
  // Throws ENetAlreadyConnected while open, ENetInvalidSocket,
  // ENetCouldNotBindSocket, or ENetSocketError (lookup, refused, timed out); a failure
  // leaves the connection closed.
  virtual void OpenConnection();
};
