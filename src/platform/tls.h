// TLS client sessions on a connected socket (platform/socket.h TcpSocket::StartTls). The
// backend is the system's own TLS library; it works on byte buffers only, and the socket
// moves the bytes. Trust comes from the system's store, or from one pinned certificate
// fingerprint; the host name is always checked unless a pin names the certificate.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Why a TLS session could not be started.
enum class TlsFailure {
  kNone,
  kNotTrusted,    // the chain does not lead to a trusted root
  kNameMismatch,  // the certificate is not issued for the host
  kExpired,       // the certificate (or one of its chain) is out of its validity period
  kPinMismatch,   // a fingerprint is pinned and the certificate has another one
  kHandshake,     // the two ends could not agree (protocol error, alert, close)
  kTimedOut,      // the server fell silent for the whole time limit
  kSocket,        // the socket failed; the code is in SocketError
};

struct TlsPeer {
  std::string HostName;      // checked against the certificate; sent as the server name
  std::string PinnedSha256;  // SHA-256 of the certificate (DER) in hex, ":" allowed; or empty
};

struct TlsOutcome {
  TlsFailure Failure = TlsFailure::kNone;
  std::string Detail;  // the library's words, for the message
  int SocketError = 0;
};

// A finished session that a later connection to the same server offers again (the FTP
// data connections reuse the control connection's session). Defined by the backend.
struct TlsResumeTicket;

// A fingerprint as 64 lower-case hex digits, separators (":" and blanks) dropped; empty
// when the text is not one.
std::string NormalizeFingerprint(const std::string& text);

// One client session of the backend, driven through buffers.
class TlsEngine {
 public:
  virtual ~TlsEngine() = default;
  // Null (and the reason in error) when the library cannot start a session.
  static std::unique_ptr<TlsEngine> Create(const TlsPeer& peer,
                                           const std::shared_ptr<TlsResumeTicket>& resume,
                                           std::string& error);

  // One handshake step: consumes bytes from in, appends bytes for the server to out.
  // 1 when done, 0 when it needs more bytes from the server, -1 on failure (detail set).
  virtual int Handshake(std::string& in, std::string& out, std::string& detail) = 0;
  // After the handshake: the system's verdict on the certificate chain and host name.
  virtual TlsOutcome CheckTrust() = 0;
  // The same verdict as a check that owns copies of what it needs, so that it may run on a
  // thread of its own and outlive the session (building the chain may fetch certificates
  // over the network). By default the verdict reached now.
  virtual std::function<TlsOutcome()> DetachedTrustCheck() {
    return [outcome = CheckTrust()] { return outcome; };
  }
  // SHA-256 of the server's certificate in lower-case hex; empty when there is none.
  virtual std::string CertificateSha256() = 0;
  // Decrypts what it can of in (consuming it) onto plain; bytes it must answer with go to
  // out. closed is set at the server's close notice. False when the stream is broken.
  virtual bool Decrypt(std::string& in, std::string& plain, bool& closed, std::string& out) = 0;
  virtual bool Encrypt(const char* data, size_t count, std::string& out) = 0;
  // Whether the bytes taken so far end inside a record; in holds what Decrypt left of them.
  virtual bool MidRecord(const std::string& in) { return !in.empty(); }
  // The close notice for the server.
  virtual void Close(std::string& out) = 0;
  virtual std::shared_ptr<TlsResumeTicket> Ticket() = 0;
};

}  // namespace platform
