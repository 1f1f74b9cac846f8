#include "net/netstack.h"

#include <algorithm>
#include <functional>

#include "base/numtext.h"
#include "base/netexceptions.h"
#include "net/idlepump.h"
#include "platform/ownthread.h"
#include "platform/socket.h"

namespace {

const char* CodeText(int code) {
  switch (code) {
    case 10004: return "Interrupted system call.";
    case 10009: return "Bad file number.";
    case 10013: return "Access denied.";
    case 10014: return "Bad address.";
    case 10022: return "Invalid argument.";
    case 10024: return "Too many open files.";
    case 10035: return "Operation would block. ";
    case 10036: return "Operation now in progress.";
    case 10037: return "Operation already in progress.";
    case 10038: return "Socket operation on non-socket.";
    case 10039: return "Destination address required.";
    case 10040: return "Message too long.";
    case 10041: return "Protocol wrong type for socket.";
    case 10042: return "Bad protocol option.";
    case 10043: return "Protocol not supported.";
    case 10044: return "Socket type not supported.";
    case 10045: return "Operation not supported on socket.";
    case 10046: return "Protocol family not supported.";
    case 10047: return "Address family not supported by protocol family.";
    case 10048: return "Address already in use.";
    case 10049: return "Cannot assign requested address.";
    case 10050: return "Network is down.";
    case 10051: return "Network is unreachable.";
    case 10052: return "Net dropped connection or reset.";
    case 10053: return "Software caused connection abort.";
    case 10054: return "Connection reset by peer.";
    case 10055: return "No buffer space available.";
    case 10056: return "Socket is already connected.";
    case 10057: return "Socket is not connected.";
    case 10058: return "Cannot send or receive after socket is closed.";
    case 10059: return "Too many references, cannot splice.";
    case 10060: return "Connection timed out.";
    case 10061: return "Connection refused.";
    case 10062: return "Too many levels of symbolic links.";
    case 10063: return "File name too long.";
    case 10064: return "Host is down.";
    case 10065: return "No route to host.";
    case 10066: return "Directory not empty";
    default: return "";
  }
}

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

}  // namespace

std::string SocketErrorText(int code) {
  return "Socket Error # " + IntToStr(code) + "\r\n" + CodeText(code);
}

void RaiseSocketError(int code) {
  if (code == platform::kSocketErrorTlsTruncated)
    throw ENetTLSError("TLS: the server closed the connection in the middle of a record.");
  throw ENetSocketError(code, SocketErrorText(code));
}

namespace {

// "[v6]" and "v6" alike: the address without brackets; empty when the host is no IPv6 text.
std::string IPv6Literal(const std::string& host) {
  const std::string bare = Unbracketed(host);
  return platform::IsIPv6Text(bare) ? bare : std::string();
}

// IPv4 first: it is what most providers' hosts answer on, and an IPv6 route that is
// configured but broken must not be the first thing every cycle waits for.
std::vector<std::string> IPv4First(std::vector<std::string> addresses) {
  std::stable_partition(addresses.begin(), addresses.end(),
                        [](const std::string& ip) { return !platform::IsIPv6Text(ip); });
  return addresses;
}

}  // namespace

std::string Unbracketed(const std::string& host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

bool IsAddressLiteral(const std::string& host) { return IsDottedQuad(host) || !IPv6Literal(host).empty(); }

std::vector<std::string> LookUpHost(const std::string& host, int timeoutMs, THostResolver resolve) {
  if (EqualsNoCase(host, "LOCALHOST")) return {"127.0.0.1"};
  if (IsDottedQuad(host)) return {host};
  if (std::string v6 = IPv6Literal(host); !v6.empty()) return {v6};
  if (!platform::StartSocketService()) throw ENetStackInitializationFailed();
  if (!resolve) resolve = platform::ResolveHostName;
  if (timeoutMs <= 0) {
    std::vector<std::string> addresses;
    if (!resolve(host, addresses)) RaiseSocketError(platform::LastSocketError());
    return IPv4First(std::move(addresses));
  }
  // The system's lookup cannot be interrupted: it runs in a thread of its own, which the
  // caller stops waiting for at the limit. Meanwhile the idle pump runs, as in every other
  // wait for the network; a pump that throws (the program leaving) stops the wait at once.
  struct Answer {
    bool ok = false;
    int error = 0;
    std::vector<std::string> addresses;
  };
  TNetIdlePump* pump = TNetIdlePump::Current();
  if (pump && !pump->Active) pump = nullptr;
  auto answer = platform::RunOnOwnThread<Answer>(
      [host, resolve] {
        Answer a;
        a.ok = resolve(host, a.addresses);
        a.error = a.ok ? 0 : platform::LastSocketError();
        return a;
      },
      timeoutMs, pump ? std::max(pump->IdleTimeOut, 1) : 0,
      pump ? std::function<void()>([pump] { pump->PumpIdleMessages(true, false); }) : nullptr);
  if (!answer) RaiseSocketError(platform::kSocketErrorTimedOut);
  if (!answer->ok) RaiseSocketError(answer->error);
  return IPv4First(std::move(answer->addresses));
}

void RefuseLineBreaks(const char* what, const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos)
    throw ENetException(std::string(what) + " contains a line break.");
}

bool IsDottedQuad(const std::string& text) {
  size_t from = 0;
  for (int piece = 0; piece < 4; ++piece) {
    size_t dot = piece < 3 ? text.find('.', from) : std::string::npos;
    if (piece < 3 && dot == std::string::npos) return false;
    auto value = TryStrToInt(std::string_view(text).substr(from, dot == std::string::npos
                                                                     ? std::string::npos
                                                                     : dot - from));
    if (!value || *value < 0 || *value > 255) return false;
    from = dot + 1;
  }
  return true;
}
