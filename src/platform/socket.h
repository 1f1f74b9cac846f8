// IPv4 and IPv6 stream sockets, blocking, as the network clients use them. Addresses are
// numeric texts: dotted IPv4 ("127.0.0.1") or IPv6 without brackets ("::1"); a text with a
// ":" is IPv6. Every failure leaves an
// error code in the Winsock numbering (10060 timed out, 10061 refused, ...) on every
// system, read with LastSocketError() on the failing thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/tls.h"

namespace platform {

// Error codes the callers act on.
constexpr int kSocketErrorInvalidArgument = 10022;
constexpr int kSocketErrorWouldBlock = 10035;
constexpr int kSocketErrorAddressInUse = 10048;
constexpr int kSocketErrorShutdown = 10058;
constexpr int kSocketErrorTimedOut = 10060;
constexpr int kSocketErrorHostNotFound = 11001;
// Not a Winsock code: the server closed a TLS session in the middle of a record, so what
// arrived may be cut short (a broken server, or someone cutting the connection).
constexpr int kSocketErrorTlsTruncated = 0x7FFF0001;

// Starts the socket service for the process (Winsock 1.1 on Windows) on the first call;
// later calls only report the outcome of the first. False when it cannot be started.
bool StartSocketService();

// The code of the calling thread's last failed socket call.
int LastSocketError();
void SetLastSocketError(int code);

class TlsChannel;

// Every address of a host name (IPv4 and IPv6, each once, in the system's order) as
// numeric text; false (and the error code set) when the name cannot be resolved.
bool ResolveHostName(const std::string& name, std::vector<std::string>& addresses);

// Whether the numeric text is an IPv6 address.
inline bool IsIPv6Text(const std::string& ip) { return ip.find(':') != std::string::npos; }

// Owns one socket handle; closing it (or destroying the owner) releases the handle.
// Calls return false (or -1) on failure, with LastSocketError() telling why.
class TcpSocket {
 public:
  TcpSocket();
  ~TcpSocket();
  TcpSocket(TcpSocket&& other) noexcept;
  TcpSocket& operator=(TcpSocket&& other) noexcept;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // A new stream socket of IPv4 (or with ipv6, IPv6); an owner of none on failure.
  static TcpSocket Create(bool ipv6 = false);

  bool Valid() const { return handle_ != kNone; }
  void Close();

  // An empty address binds any IPv4 address.
  bool Bind(const std::string& ip, int port);
  bool Listen(int backlog);
  // Waits for one incoming connection; an owner of none on failure.
  TcpSocket Accept();
  // Takes a pending connection without waiting: an owner of none when there is none (code
  // kSocketErrorWouldBlock; a connection reset after a wait said it was there) or on
  // failure. The connection it gives is blocking.
  TcpSocket AcceptPending();
  // Connects to a numeric address of the socket's family; gives up with kSocketErrorTimedOut when the peer has not
  // answered within timeoutMs (negative: as long as the system waits).
  bool Connect(const std::string& ip, int port, int timeoutMs);
  // What the socket's own limited waits (the connect, the TLS handshake, the rest of a TLS
  // record) run every sliceMs while nothing happens; only the time spent waiting counts
  // toward their limits. When it throws, the wait ends there and the socket is left for its
  // owner to close. None by default; it goes with the socket when the socket is moved.
  void SetWaitPump(std::function<void()> pump, int sliceMs);
  // The TCP no-delay option: small writes leave at once.
  bool SetNoDelay();
  // A blocking send that cannot hand over a byte within timeoutMs fails with
  // kSocketErrorTimedOut.
  bool SetSendTimeout(int timeoutMs);

  // Bytes sent or received (0 from Receive: the peer closed), or -1.
  // Once TLS is started they carry the session's plaintext, and ShutdownSend sends the
  // session's close notice first.
  long Send(const char* data, size_t count);
  long Receive(char* data, size_t count);
  bool ShutdownSend();

  // 1 when data (or a close) can be read, 0 when timeoutMs passed first (negative: no
  // limit), -1 on failure. With TLS, "data" means decrypted bytes.
  int WaitReadable(int timeoutMs);

  // Runs a TLS client handshake on the connected socket and checks the server's
  // certificate; a wait of timeoutMs without a byte from the server ends it. resume (may
  // be null) is a session of an earlier connection to offer again. False with the reason
  // in outcome; the socket should then be closed.
  bool StartTls(const TlsPeer& peer, int timeoutMs,
                const std::shared_ptr<TlsResumeTicket>& resume, TlsOutcome& outcome);
  bool Secure() const { return tls_ != nullptr; }
  // The session to offer again on a further connection; null without TLS.
  std::shared_ptr<TlsResumeTicket> ResumeTicket() const;

  // Local and remote address as numeric text and port.
  bool LocalAddress(std::string& ip, int& port) const;
  bool PeerAddress(std::string& ip, int& port) const;

 private:
  friend class TlsChannel;
  static constexpr intptr_t kNone = -1;
  explicit TcpSocket(intptr_t handle);
  // The socket itself, under the TLS session (each system's own).
  long SendRaw(const char* data, size_t count);
  long ReceiveRaw(char* data, size_t count);
  bool ShutdownSendRaw();
  int WaitReadableRaw(int timeoutMs);
  // WaitReadableRaw with the wait pump between slices.
  int WaitReadablePumped(int timeoutMs);
  // Runs wait(ms) in slices until it gives a non-zero answer or timeoutMs (negative: no
  // limit) is used up, with the wait pump between slices; wait's last answer.
  int InSlices(int timeoutMs, const std::function<int(int)>& wait);
  void CloseRaw();

  intptr_t handle_ = kNone;
  std::unique_ptr<TlsChannel> tls_;
  std::function<void()> waitPump_;
  int waitSliceMs_ = 0;
};

}  // namespace platform
