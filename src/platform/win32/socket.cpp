#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

namespace platform {

namespace {

thread_local int lastError = 0;

bool Fail(int code) {
  lastError = code;
  return false;
}

bool FailWsa() { return Fail(WSAGetLastError()); }

// Winsock is started once, asking for version 1.1, and cleaned up when the process ends.
struct SocketService {
  bool started = false;
  SocketService() {
    WSADATA data;
    started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  ~SocketService() {
    if (started) WSACleanup();
  }
};

// The socket address of a numeric text (empty: any IPv4 address); false when the text is
// not an address.
struct SocketAddress {
  sockaddr_storage storage{};
  int length = 0;
  sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
};

bool MakeAddress(const std::string& ip, int port, SocketAddress& address) {
  address = {};
  if (IsIPv6Text(ip)) {
    auto& v6 = reinterpret_cast<sockaddr_in6&>(address.storage);
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(static_cast<u_short>(port));
    address.length = sizeof v6;
    return inet_pton(AF_INET6, ip.c_str(), &v6.sin6_addr) == 1;
  }
  auto& v4 = reinterpret_cast<sockaddr_in&>(address.storage);
  v4.sin_family = AF_INET;
  v4.sin_port = htons(static_cast<u_short>(port));
  address.length = sizeof v4;
  if (ip.empty()) {
    v4.sin_addr.s_addr = htonl(INADDR_ANY);
    return true;
  }
  v4.sin_addr.s_addr = inet_addr(ip.c_str());
  return v4.sin_addr.s_addr != INADDR_NONE || ip == "255.255.255.255";
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

SOCKET Handle(intptr_t h) { return static_cast<SOCKET>(h); }

bool SetBlocking(SOCKET s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

timeval Interval(int ms) { return timeval{ms / 1000, (ms % 1000) * 1000}; }

}  // namespace

bool StartSocketService() {
  static SocketService service;
  return service.started;
}

int LastSocketError() { return lastError; }

void SetLastSocketError(int code) { lastError = code; }

bool ResolveHostName(const std::string& name, std::vector<std::string>& addresses) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  // getaddrinfo answers with the Winsock code itself (11001 not found, ...).
  const int rc = getaddrinfo(name.c_str(), nullptr, &hints, &result);
  if (rc != 0 || !result) return Fail(rc != 0 ? rc : kSocketErrorHostNotFound);
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
  SOCKET s = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    FailWsa();
    return TcpSocket();
  }
  return TcpSocket(static_cast<intptr_t>(s));
}

void TcpSocket::CloseRaw() {
  if (handle_ != kNone) closesocket(Handle(handle_));
  handle_ = kNone;
}

bool TcpSocket::Bind(const std::string& ip, int port) {
  SocketAddress addr;
  if (!MakeAddress(ip, port, addr)) return Fail(kSocketErrorInvalidArgument);
  return bind(Handle(handle_), addr.get(), addr.length) == 0 || FailWsa();
}

bool TcpSocket::Listen(int backlog) { return listen(Handle(handle_), backlog) == 0 || FailWsa(); }

TcpSocket TcpSocket::AcceptPending() {
  const SOCKET listener = Handle(handle_);
  if (!SetBlocking(listener, false)) {
    FailWsa();
    return TcpSocket();
  }
  SOCKET s = accept(listener, nullptr, nullptr);
  const int err = s == INVALID_SOCKET ? WSAGetLastError() : 0;
  SetBlocking(listener, true);
  if (s == INVALID_SOCKET) {
    Fail(err);  // WSAEWOULDBLOCK is 10035
    return TcpSocket();
  }
  // A socket accepted from a non-blocking listener is non-blocking too on Windows.
  TcpSocket accepted(static_cast<intptr_t>(s));
  if (!SetBlocking(s, true)) {
    FailWsa();
    return TcpSocket();
  }
  return accepted;
}

TcpSocket TcpSocket::Accept() {
  SOCKET s = accept(Handle(handle_), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    FailWsa();
    return TcpSocket();
  }
  return TcpSocket(static_cast<intptr_t>(s));
}

bool TcpSocket::Connect(const std::string& ip, int port, int timeoutMs) {
  SocketAddress addr;
  if (!MakeAddress(ip, port, addr)) return Fail(kSocketErrorInvalidArgument);
  SOCKET s = Handle(handle_);
  if (timeoutMs < 0)
    return connect(s, addr.get(), addr.length) == 0 || FailWsa();
  // A limited wait: connect without blocking, wait for the outcome, then block again.
  if (!SetBlocking(s, false)) return FailWsa();
  if (connect(s, addr.get(), addr.length) != 0) {
    int err = WSAGetLastError();
    if (err != WSAEWOULDBLOCK) {
      SetBlocking(s, true);
      return Fail(err);
    }
    fd_set writable, failed;
    const int ready = InSlices(timeoutMs, [&](int ms) {
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(s, &writable);
      FD_SET(s, &failed);
      timeval tv = Interval(ms);
      return select(0, nullptr, &writable, &failed, &tv);
    });
    if (ready <= 0) {
      err = ready == 0 ? WSAETIMEDOUT : WSAGetLastError();
      SetBlocking(s, true);
      return Fail(err);
    }
    if (FD_ISSET(s, &failed)) {
      // A refused connect is reported in the exception set, its cause in SO_ERROR.
      int soError = 0;
      int len = sizeof soError;
      getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
      SetBlocking(s, true);
      return Fail(soError ? soError : WSAECONNREFUSED);
    }
  }
  return SetBlocking(s, true) || FailWsa();
}

bool TcpSocket::SetNoDelay() {
  BOOL on = TRUE;
  return setsockopt(Handle(handle_), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on),
                    sizeof on) == 0 ||
         FailWsa();
}

bool TcpSocket::SetSendTimeout(int timeoutMs) {
  DWORD ms = static_cast<DWORD>(timeoutMs);
  return setsockopt(Handle(handle_), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<char*>(&ms),
                    sizeof ms) == 0 ||
         FailWsa();
}

long TcpSocket::SendRaw(const char* data, size_t count) {
  int n = send(Handle(handle_), data, static_cast<int>(count), 0);
  if (n == SOCKET_ERROR) {
    FailWsa();
    return -1;
  }
  return n;
}

long TcpSocket::ReceiveRaw(char* data, size_t count) {
  int n = recv(Handle(handle_), data, static_cast<int>(count), 0);
  if (n == SOCKET_ERROR) {
    FailWsa();
    return -1;
  }
  return n;
}

bool TcpSocket::ShutdownSendRaw() { return shutdown(Handle(handle_), SD_SEND) == 0 || FailWsa(); }

int TcpSocket::WaitReadableRaw(int timeoutMs) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Handle(handle_), &readable);
  timeval tv = Interval(timeoutMs);
  int ready = select(0, &readable, nullptr, nullptr, timeoutMs < 0 ? nullptr : &tv);
  if (ready == SOCKET_ERROR) {
    FailWsa();
    return -1;
  }
  return ready == 1 ? 1 : 0;
}

bool TcpSocket::LocalAddress(std::string& ip, int& port) const {
  SocketAddress addr;
  int len = sizeof addr.storage;
  if (getsockname(Handle(handle_), addr.get(), &len) != 0) return FailWsa();
  ReadAddress(addr.get(), ip, port);
  return true;
}

bool TcpSocket::PeerAddress(std::string& ip, int& port) const {
  SocketAddress addr;
  int len = sizeof addr.storage;
  if (getpeername(Handle(handle_), addr.get(), &len) != 0) return FailWsa();
  ReadAddress(addr.get(), ip, port);
  return true;
}

}  // namespace platform
