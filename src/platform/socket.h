// IPv4 stream sockets, blocking, as the network clients use them. Every failure leaves an
// error code in the Winsock numbering (10060 timed out, 10061 refused, ...) on every
// system, read with LastSocketError() on the failing thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Error codes the callers act on.
constexpr int kSocketErrorInvalidArgument = 10022;
constexpr int kSocketErrorWouldBlock = 10035;
constexpr int kSocketErrorAddressInUse = 10048;
constexpr int kSocketErrorShutdown = 10058;
constexpr int kSocketErrorTimedOut = 10060;
constexpr int kSocketErrorHostNotFound = 11001;

// Starts the socket service for the process (Winsock 1.1 on Windows) on the first call;
// later calls only report the outcome of the first. False when it cannot be started.
bool StartSocketService();

// The code of the calling thread's last failed socket call.
int LastSocketError();

// The first IPv4 address of a host name as four dotted decimal numbers; false (and the
// error code set) when the name cannot be resolved.
bool ResolveHostName(const std::string& name, std::string& dotted);

// Owns one socket handle; closing it (or destroying the owner) releases the handle.
// Calls return false (or -1) on failure, with LastSocketError() telling why.
class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket();
  TcpSocket(TcpSocket&& other) noexcept;
  TcpSocket& operator=(TcpSocket&& other) noexcept;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // A new stream socket (family 2, type 1, protocol 0); an owner of none on failure.
  static TcpSocket Create();

  bool Valid() const { return handle_ != kNone; }
  void Close();

  // An empty address binds any address.
  bool Bind(const std::string& ip, int port);
  bool Listen(int backlog);
  // Waits for one incoming connection; an owner of none on failure.
  TcpSocket Accept();
  // Takes a pending connection without waiting: an owner of none when there is none (code
  // kSocketErrorWouldBlock; a connection reset after a wait said it was there) or on
  // failure. The connection it gives is blocking.
  TcpSocket AcceptPending();
  // Connects to a dotted address; gives up with kSocketErrorTimedOut when the peer has not
  // answered within timeoutMs (negative: as long as the system waits).
  bool Connect(const std::string& ip, int port, int timeoutMs);
  // The TCP no-delay option: small writes leave at once.
  bool SetNoDelay();
  // A blocking send that cannot hand over a byte within timeoutMs fails with
  // kSocketErrorTimedOut.
  bool SetSendTimeout(int timeoutMs);

  // Bytes sent or received (0 from Receive: the peer closed), or -1.
  long Send(const char* data, size_t count);
  long Receive(char* data, size_t count);
  bool ShutdownSend();

  // 1 when data (or a close) can be read, 0 when timeoutMs passed first (negative: no
  // limit), -1 on failure.
  int WaitReadable(int timeoutMs);

  // Local and remote address as dotted text and port.
  bool LocalAddress(std::string& ip, int& port) const;
  bool PeerAddress(std::string& ip, int& port) const;

 private:
  static constexpr intptr_t kNone = -1;
  explicit TcpSocket(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kNone;
};

}  // namespace platform
