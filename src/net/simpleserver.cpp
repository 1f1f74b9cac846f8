#include "net/simpleserver.h"

#include <algorithm>
#include <chrono>

#include "net/idlepump.h"
#include "base/netexceptions.h"

void TNetSimpleServer::BeginListen(int backlog) {
  if (binding_.Allocated() || listener_.Valid()) throw ENetAlreadyConnected();
  if (!platform::StartSocketService()) throw ENetStackInitializationFailed();
  binding_.Reset();
  receiveQueue_.Clear();
  closedByPeer_ = false;

  listener_ = platform::TcpSocket::Create();
  if (!listener_.Valid()) throw ENetInvalidSocket();
  try {
    if (!listener_.Bind(BoundIP, BoundPort)) {
      int error = platform::LastSocketError();
      if (error == platform::kSocketErrorAddressInUse) throw ENetCouldNotBindSocket();
      RaiseSocketError(error);
    }
    if (!listener_.Listen(backlog) || !listener_.LocalAddress(binding_.IP, binding_.Port))
      RaiseSocketError(platform::LastSocketError());
  } catch (...) {
    listener_.Close();
    throw;
  }
}

void TNetSimpleServer::AcceptPeer() {
  if (!listener_.Valid()) throw ENetConnClosedGracefully();
  using Clock = std::chrono::steady_clock;
  TNetIdlePump* pump = TNetIdlePump::Current();
  const int slice = pump && pump->Active ? std::max(pump->IdleTimeOut, 1) : -1;
  // Only time spent waiting counts, as for reads: a long message handler is not the peer's
  // silence.
  int64_t left = InactivityTimeout;
  for (;;) {
    int wait = static_cast<int>(std::max<int64_t>(left, 0));
    if (slice > 0) wait = std::min(wait, slice);
    const auto before = Clock::now();
    const int ready = listener_.WaitReadable(wait);
    if (ready < 0) {
      const int error = platform::LastSocketError();
      listener_.Close();
      RaiseSocketError(error);
    }
    left -= std::max<int64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - before).count(), 1);
    PumpIdleMessages(ready == 0, false);
    if (ready == 1) {
      // Without waiting: a connection reset between the wait and here is gone, and a
      // blocking accept would wait for the next one without any limit.
      binding_.Socket = listener_.AcceptPending();
      if (binding_.Allocated()) break;
      const int error = platform::LastSocketError();
      // 10053/10054: the pending connection was aborted or reset before it was taken.
      if (error != platform::kSocketErrorWouldBlock && error != 10053 && error != 10054) {
        listener_.Close();
        RaiseSocketError(error);
      }
    }
    if (left <= 0) {
      listener_.Close();
      RaiseSocketError(platform::kSocketErrorTimedOut);
    }
  }
  listener_.Close();
  if (!binding_.Socket.SetSendTimeout(InactivityTimeout) ||
      !binding_.Socket.LocalAddress(binding_.IP, binding_.Port) ||
      !binding_.Socket.PeerAddress(binding_.PeerIP, binding_.PeerPort)) {
    const int failed = platform::LastSocketError();
    binding_.Reset();
    RaiseSocketError(failed);
  }
}
