// The client end of a TCP connection: connects to a host and port, then talks through
// the connection layer.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "net/tcpconnection.h"

// TLS for a client: none (the default), from the first byte (POP3 on 995, FTPS on 990,
// "https"), or started by the protocol's own command (STLS, AUTH TLS).
enum TNetTLSMode { tlsNone, tlsImplicit, tlsExplicit };

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

  TNetTLSMode UseTLS = tlsNone;  // tlsImplicit: OpenConnection starts TLS itself
  // The SHA-256 fingerprint (hex) of the one certificate to accept instead of checking
  // trust and name: the way to a server with a self-signed certificate. Empty: the system's
  // trust store and the host name decide.
  std::string TLSFingerprint;
  // The name the certificate must carry; empty: Host.
  std::string TLSHostName;

  // Runs the TLS handshake on the open connection and checks the server's certificate;
  // from then on every read and write is encrypted. resume (may be null) is the session of
  // another connection to the same server to offer again. Bytes the server sent before
  // the handshake are refused, not read as if they were protected. A failure closes the
  // connection and throws ENetCertificateError (trust, name, expiry, fingerprint),
  // ENetTLSError (handshake), or ENetSocketError (10060 when the server stays silent for
  // InactivityTimeout).
  void StartTLS(const std::shared_ptr<platform::TlsResumeTicket>& resume = nullptr);
  // The in-band upgrade of a line protocol ("STLS", "AUTH TLS"): sends the command and, when
  // the reply is the accepted one, runs StartTLS. Any other reply means the server offers
  // no TLS: ENetTLSError naming the server and its reply, and the password is never sent.
  void StartTLSAfter(const std::string& command, int accepted, const std::string& server);
  bool Secure() const { return binding_.Socket.Secure(); }
  std::shared_ptr<platform::TlsResumeTicket> TLSResumeTicket() const {
    return binding_.Socket.ResumeTicket();
  }
};
