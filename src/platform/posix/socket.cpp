#include "platform/socket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace platform {

namespace {

thread_local int lastError = 0;

// The Winsock number of a POSIX error, so that callers and texts see one numbering.
int WinsockCode(int err) {
  switch (err) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case EPIPE: return 10058;  // sending after the peer's reset: the Winsock case is WSAESHUTDOWN
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default: return err;
  }
}

bool Fail(int code) {
  lastError = code;
  return false;
}

bool FailErrno() { return Fail(WinsockCode(errno)); }

// The socket address of a numeric text (empty: any IPv4 address); false when the text is
// not an address.
struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;
  sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
};

bool MakeAddress(const std::string& ip, int port, SocketAddress& address) {
  address = {};
  if (IsIPv6Text(ip)) {
    auto& v6 = reinterpret_cast<sockaddr_in6&>(address.storage);
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(static_cast<uint16_t>(port));
    address.length = sizeof v6;
    return inet_pton(AF_INET6, ip.c_str(), &v6.sin6_addr) == 1;
  }
  auto& v4 = reinterpret_cast<sockaddr_in&>(address.storage);
  v4.sin_family = AF_INET;
  v4.sin_port = htons(static_cast<uint16_t>(port));
  address.length = sizeof v4;
  if (ip.empty()) {
    v4.sin_addr.s_addr = htonl(INADDR_ANY);
    return true;
  }
  return inet_pton(AF_INET, ip.c_str(), &v4.sin_addr) == 1;
}

void ReadAddress(const sockaddr* addr, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (addr->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(addr);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    port = ntohs(v6->sin6_port);
  } else {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(addr);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    port = ntohs(v4->sin_port);
  }
  ip = text;
}

bool SetBlocking(int fd, bool blocking) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return fcntl(fd, F_SETFL, flags) == 0;
}

}  // namespace

bool StartSocketService() { return true; }

int LastSocketError() { return lastError; }

void SetLastSocketError(int code) { lastError = code; }

bool ResolveHostName(const std::string& name, std::vector<std::string>& addresses) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  int rc = getaddrinfo(name.c_str(), nullptr, &hints, &result);
  if (rc != 0 || !result) {
    // The Winsock host-lookup codes: not found, try again, no recovery.
    if (rc == EAI_NONAME) return Fail(kSocketErrorHostNotFound);
    if (rc == EAI_AGAIN) return Fail(11002);
    return Fail(11003);
  }
  addresses.clear();
  for (const addrinfo* entry = result; entry; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    std::string ip;
    int port = 0;
    ReadAddress(entry->ai_addr, ip, port);
    if (std::find(addresses.begin(), addresses.end(), ip) == addresses.end()) addresses.push_back(ip);
  }
  freeaddrinfo(result);
  return !addresses.empty() || Fail(kSocketErrorHostNotFound);
}

TcpSocket TcpSocket::Create(bool ipv6) {
  int fd = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  if (fd < 0) FailErrno();
  return TcpSocket(fd);
}

void TcpSocket::CloseRaw() {
  if (handle_ != kNone) ::close(static_cast<int>(handle_));
  handle_ = kNone;
}

bool TcpSocket::Bind(const std::string& ip, int port) {
  SocketAddress addr;
  if (!MakeAddress(ip, port, addr)) return Fail(kSocketErrorInvalidArgument);
  if (bind(static_cast<int>(handle_), addr.get(), addr.length) != 0)
    return FailErrno();
  return true;
}

bool TcpSocket::Listen(int backlog) {
  return listen(static_cast<int>(handle_), backlog) == 0 || FailErrno();
}

TcpSocket TcpSocket::AcceptPending() {
  const int listener = static_cast<int>(handle_);
  if (!SetBlocking(listener, false)) {
    FailErrno();
    return TcpSocket();
  }
  // On Linux the accepted socket does not inherit O_NONBLOCK; it is set blocking anyway.
  int fd = accept(listener, nullptr, nullptr);
  const int err = errno;
  SetBlocking(listener, true);
  if (fd < 0) {
    Fail(err == EAGAIN || err == EWOULDBLOCK ? kSocketErrorWouldBlock : WinsockCode(err));
    return TcpSocket();
  }
  TcpSocket accepted(fd);
  if (!SetBlocking(fd, true)) {
    FailErrno();
    return TcpSocket();
  }
  return accepted;
}

TcpSocket TcpSocket::Accept() {
  int fd = accept(static_cast<int>(handle_), nullptr, nullptr);
  if (fd < 0) FailErrno();
  return TcpSocket(fd);
}

bool TcpSocket::Connect(const std::string& ip, int port, int timeoutMs) {
  SocketAddress addr;
  if (!MakeAddress(ip, port, addr)) return Fail(kSocketErrorInvalidArgument);
  int fd = static_cast<int>(handle_);
  if (timeoutMs < 0) {
    return connect(fd, addr.get(), addr.length) == 0 || FailErrno();
  }
  // A limited wait: connect without blocking, wait for the outcome, then block again.
  if (!SetBlocking(fd, false)) return FailErrno();
  if (connect(fd, addr.get(), addr.length) != 0) {
    if (errno != EINPROGRESS) {
      int err = errno;
      SetBlocking(fd, true);
      return Fail(WinsockCode(err));
    }
    pollfd p{fd, POLLOUT, 0};
    const int ready = InSlices(timeoutMs, [&p](int ms) {
      int r;
      do r = poll(&p, 1, ms);
      while (r < 0 && errno == EINTR);
      return r;
    });
    if (ready <= 0) {
      int err = ready == 0 ? ETIMEDOUT : errno;
      SetBlocking(fd, true);
      return Fail(WinsockCode(err));
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    if (err != 0) {
      SetBlocking(fd, true);
      return Fail(WinsockCode(err));
    }
  }
  return SetBlocking(fd, true) || FailErrno();
}

bool TcpSocket::SetNoDelay() {
  int on = 1;
  return setsockopt(static_cast<int>(handle_), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 ||
         FailErrno();
}

bool TcpSocket::SetSendTimeout(int timeoutMs) {
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0 ||
         FailErrno();
}

long TcpSocket::SendRaw(const char* data, size_t count) {
  // MSG_NOSIGNAL: a peer that went away is an error code, not a process-ending signal.
  ssize_t n;
  do n = send(static_cast<int>(handle_), data, count, MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  if (n < 0) {
    // On a blocking socket "would block" only comes from the send time limit.
    Fail(errno == EAGAIN || errno == EWOULDBLOCK ? kSocketErrorTimedOut : WinsockCode(errno));
    return -1;
  }
  return static_cast<long>(n);
}

long TcpSocket::ReceiveRaw(char* data, size_t count) {
  ssize_t n;
  do n = recv(static_cast<int>(handle_), data, count, 0);
  while (n < 0 && errno == EINTR);
  if (n < 0) {
    FailErrno();
    return -1;
  }
  return static_cast<long>(n);
}

bool TcpSocket::ShutdownSendRaw() {
  return shutdown(static_cast<int>(handle_), SHUT_WR) == 0 || FailErrno();
}

int TcpSocket::WaitReadableRaw(int timeoutMs) {
  pollfd p{static_cast<int>(handle_), POLLIN, 0};
  int ready = poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
  // A signal ends the wait early; the caller waits again after handling it.
  if (ready < 0 && errno == EINTR) return 0;
  if (ready < 0) {
    FailErrno();
    return -1;
  }
  return ready > 0 ? 1 : 0;
}

bool TcpSocket::LocalAddress(std::string& ip, int& port) const {
  SocketAddress addr;
  socklen_t len = sizeof addr.storage;
  if (getsockname(static_cast<int>(handle_), addr.get(), &len) != 0) return FailErrno();
  ReadAddress(addr.get(), ip, port);
  return true;
}

bool TcpSocket::PeerAddress(std::string& ip, int& port) const {
  SocketAddress addr;
  socklen_t len = sizeof addr.storage;
  if (getpeername(static_cast<int>(handle_), addr.get(), &len) != 0) return FailErrno();
  ReadAddress(addr.get(), ip, port);
  return true;
}

}  // namespace platform
