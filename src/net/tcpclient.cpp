#include "net/tcpclient.h"

#include <algorithm>
#include <chrono>

#include "base/netexceptions.h"
#include "base/numtext.h"
#include "net/idlepump.h"
#include "net/netstack.h"

namespace {

// WSAEAFNOSUPPORT: the host has no address of the bound address's family.
constexpr int kSocketErrorAddressFamily = 10047;

}  // namespace

void TNetTCPClient::OpenConnection() {
  if (binding_.Allocated()) throw ENetAlreadyConnected();
  // Checked here, not cut to 16 bits by the socket call.
  if (Port < 1 || Port > 65535)
    throw ENetException("Port " + IntToStr(Port) + " is out of range (1 to 65535).");
  if (!platform::StartSocketService()) throw ENetStackInitializationFailed();
  binding_.Reset();
  receiveQueue_.Clear();
  closedByPeer_ = false;

  try {
    if (!IsAddressLiteral(Host)) DoStatus(nsResolving, Host);
    std::vector<std::string> addresses = LookUpHost(Host, InactivityTimeout, Resolver);
    if (!BoundIP.empty()) {
      std::erase_if(addresses, [&](const std::string& ip) {
        return platform::IsIPv6Text(ip) != platform::IsIPv6Text(BoundIP);
      });
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(InactivityTimeout);
    int error = kSocketErrorAddressFamily;  // no address of BoundIP's family
    bool connected = false;
    for (const std::string& ip : addresses) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        error = platform::kSocketErrorTimedOut;
        break;
      }
      if ((connected = ConnectTo(ip, static_cast<int>(std::min<int64_t>(left, AddressTimeout)), error)))
        break;
    }
    if (!connected) RaiseSocketError(error);
    if (!binding_.Socket.SetSendTimeout(InactivityTimeout) ||
        !binding_.Socket.LocalAddress(binding_.IP, binding_.Port) ||
        !binding_.Socket.PeerAddress(binding_.PeerIP, binding_.PeerPort))
      RaiseSocketError(platform::LastSocketError());
    if (UseTLS == tlsImplicit) StartTLS();
  } catch (...) {
    // Nothing was exchanged yet, so no client goodbye is due: the socket is just closed.
    TNetTCPConnection::CloseConnection();
    throw;
  }
  DoStatus(nsConnected);
  if (OnConnected) OnConnected(this);
}

bool TNetTCPClient::ConnectTo(const std::string& ip, int timeoutMs, int& error) {
  binding_.Socket = platform::TcpSocket::Create(platform::IsIPv6Text(ip));
  // A system without IPv6 has no socket for such an address: the next one may still do.
  if (!binding_.Allocated()) {
    error = platform::LastSocketError();
    return false;
  }
  if (!BoundIP.empty() && !binding_.Socket.Bind(BoundIP, 0)) {
    const int bindError = platform::LastSocketError();
    if (bindError == platform::kSocketErrorAddressInUse) throw ENetCouldNotBindSocket();
    RaiseSocketError(bindError);
  }
  if (!UseNagle && !binding_.Socket.SetNoDelay()) RaiseSocketError(platform::LastSocketError());
  DoStatus(nsConnecting, ip);
  // The socket's own waits (the connect, the TLS handshake) return to the idle pump like
  // every other wait for the peer.
  TNetIdlePump* pump = TNetIdlePump::Current();
  if (pump && pump->Active)
    binding_.Socket.SetWaitPump([this] { PumpIdleMessages(true, false); }, std::max(pump->IdleTimeOut, 1));
  if (binding_.Socket.Connect(ip, Port, timeoutMs)) return true;
  error = platform::LastSocketError();
  binding_.Socket.Close();
  return false;
}
