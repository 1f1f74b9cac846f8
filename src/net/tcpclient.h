// The client end of a TCP connection: connects to a host and port, then talks through
// the connection layer.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "net/netstack.h"
#include "net/tcpconnection.h"

constexpr int kAddressConnectTimeout = 10000;  // ms

// TLS for a client: none (the default), from the first byte (POP3 on 995, FTPS on 990,
// "https"), or started by the protocol's own command (STLS, AUTH TLS).
enum TNetTLSMode { tlsNone, tlsImplicit, tlsExplicit };

class TNetTCPClient : public TNetTCPConnection {
 public:
  std::string Host;     // host name, dotted address, IPv6 address ("::1" or "[::1]"), or "LOCALHOST"
  int Port = 0;
  // Local address to bind; empty binds none. Only the host's addresses of its family are
  // then tried.
  std::string BoundIP;
  bool UseNagle = true; // false sets the TCP no-delay option
  // The longest one address of the host may take to answer before the next is tried.
  int AddressTimeout = kAddressConnectTimeout;
  // The name lookup (net/netstack.h); null: the system's.
  THostResolver Resolver = nullptr;

  std::function<void(TNetComponent* Sender)> OnConnected;

  // Connects to Host:Port. A port outside 1..65535 fails with ENetException before
  // anything is done. The name lookup ends after InactivityTimeout; then the host's
  // addresses (IPv4 first, then IPv6) are tried in turn until one connects: a refusal
  // moves on at once, a silent address after AddressTimeout, and the whole connect ends
  // after InactivityTimeout. Throws ENetAlreadyConnected while open,
  // ENetCouldNotBindSocket, or ENetSocketError (lookup; the last address's refusal or
  // other failure; 10060 when the time ran out); a failure leaves the connection closed.
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

 private:
  // One address of the host: a new socket, bound as BoundIP says, connected within
  // timeoutMs. False with the socket error code when it did not connect.
  bool ConnectTo(const std::string& ip, int timeoutMs, int& error);
};
