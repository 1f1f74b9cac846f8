// A connection that listens once and accepts one peer: the data connection of an active-mode
// FTP transfer, which the server opens to the client.
#pragma once
#include <string>

#include "net/tcpconnection.h"

class TNetSimpleServer : public TNetTCPConnection {
 public:
  std::string BoundIP;  // local address to listen on; empty listens on any
  int BoundPort = 0;    // 0 takes any free port

  // Binds and listens; Binding().IP and Binding().Port then tell the address the peer must
  // connect to. Throws ENetAlreadyConnected while a peer is connected or a listen is open,
  // ENetInvalidSocket, ENetCouldNotBindSocket or ENetSocketError.
  void BeginListen(int backlog = 1);
  // Waits for the peer, letting the idle pump run between polls, accepts it and closes the
  // listening socket. Gives up after InactivityTimeout ms without a peer: closes the listening
  // socket and throws ENetSocketError 10060.
  void AcceptPeer();

 private:
  platform::TcpSocket listener_;
};
