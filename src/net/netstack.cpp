#include "net/netstack.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "base/numtext.h"
#include "base/netexceptions.h"
#include "net/idlepump.h"
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

void RaiseSocketError(int code) { throw ENetSocketError(code, SocketErrorText(code)); }

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
  // caller stops waiting for at the limit. The shared state outlives whichever ends last.
  struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool ok = false;
    int error = 0;
    std::vector<std::string> addresses;
  };
  auto lookup = std::make_shared<Lookup>();
  std::thread([lookup, host, resolve] {
    std::vector<std::string> addresses;
    const bool ok = resolve(host, addresses);
    const int error = ok ? 0 : platform::LastSocketError();
    std::lock_guard<std::mutex> lock(lookup->mutex);
    lookup->ok = ok;
    lookup->error = error;
    lookup->addresses = std::move(addresses);
    lookup->finished = true;
    lookup->done.notify_all();
  }).detach();
  // Meanwhile the idle pump runs, as in every other wait for the network; a pump that throws
  // (the program leaving) stops the wait at once.
  TNetIdlePump* pump = TNetIdlePump::Current();
  const int64_t slice = pump && pump->Active ? std::max(pump->IdleTimeOut, 1) : timeoutMs;
  std::unique_lock<std::mutex> lock(lookup->mutex);
  for (int64_t left = timeoutMs; !lookup->finished;) {
    if (left <= 0) RaiseSocketError(platform::kSocketErrorTimedOut);
    const auto before = std::chrono::steady_clock::now();
    lookup->done.wait_for(lock, std::chrono::milliseconds(std::min(left, slice)), [&] { return lookup->finished; });
    left -= std::max<int64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count(), 1);
    if (lookup->finished || !pump) continue;
    lock.unlock();
    pump->PumpIdleMessages(true, false);
    lock.lock();
  }
  if (!lookup->ok) RaiseSocketError(lookup->error);
  return IPv4First(std::move(lookup->addresses));
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
