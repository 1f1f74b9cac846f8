// Ownership of a socket handle, alike on both systems, and the switch to the TLS session
// once one is started; the raw calls are each system's own.
#include "platform/socket.h"

#include "platform/ownthread.h"
#include "platform/tlschannel.h"

namespace platform {

TcpSocket::TcpSocket() = default;
TcpSocket::TcpSocket(intptr_t handle) : handle_(handle) {}

TcpSocket::~TcpSocket() { Close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : handle_(other.handle_), waitPump_(std::move(other.waitPump_)), waitSliceMs_(other.waitSliceMs_) {
  other.handle_ = kNone;
  // The session refers to its socket: it cannot follow the handle to a new owner.
  other.tls_.reset();
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kNone;
    waitPump_ = std::move(other.waitPump_);
    waitSliceMs_ = other.waitSliceMs_;
    other.tls_.reset();
  }
  return *this;
}

void TcpSocket::Close() {
  tls_.reset();
  CloseRaw();
}

long TcpSocket::Send(const char* data, size_t count) {
  return tls_ ? tls_->Send(data, count) : SendRaw(data, count);
}

long TcpSocket::Receive(char* data, size_t count) {
  return tls_ ? tls_->Receive(data, count) : ReceiveRaw(data, count);
}

bool TcpSocket::ShutdownSend() { return tls_ ? tls_->ShutdownSend() : ShutdownSendRaw(); }

void TcpSocket::SetWaitPump(std::function<void()> pump, int sliceMs) {
  waitPump_ = std::move(pump);
  waitSliceMs_ = sliceMs;
}

int TcpSocket::InSlices(int timeoutMs, const std::function<int(int)>& wait) {
  return WaitInSlices(timeoutMs, waitSliceMs_, wait, waitPump_);
}

int TcpSocket::WaitReadablePumped(int timeoutMs) {
  return InSlices(timeoutMs, [this](int ms) { return WaitReadableRaw(ms); });
}

int TcpSocket::WaitReadable(int timeoutMs) {
  return tls_ ? tls_->WaitReadable(timeoutMs) : WaitReadableRaw(timeoutMs);
}

bool TcpSocket::StartTls(const TlsPeer& peer, int timeoutMs,
                         const std::shared_ptr<TlsResumeTicket>& resume, TlsOutcome& outcome) {
  tls_.reset();
  std::string error;
  std::unique_ptr<TlsEngine> engine = TlsEngine::Create(peer, resume, error);
  if (!engine) {
    outcome = {TlsFailure::kHandshake, error, 0};
    return false;
  }
  auto channel = std::make_unique<TlsChannel>(*this, std::move(engine), timeoutMs);
  outcome = channel->Handshake(peer);
  if (outcome.Failure != TlsFailure::kNone) return false;
  tls_ = std::move(channel);
  return true;
}

std::shared_ptr<TlsResumeTicket> TcpSocket::ResumeTicket() const {
  return tls_ ? tls_->Ticket() : nullptr;
}

}  // namespace platform
