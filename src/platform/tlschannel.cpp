#include "platform/tlschannel.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/ownthread.h"
#include "platform/socket.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A broken record stream is reported as the connection's reset.
constexpr int kSocketErrorReset = 10054;
constexpr size_t kRawBlock = 64 * 1024;

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

std::string NormalizeFingerprint(const std::string& text) {
  std::string hex;
  for (char c : text) {
    if (c == ':' || c == ' ' || c == '\t') continue;
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!IsHex(c)) return {};
    hex += c;
  }
  return hex.size() == 64 ? hex : std::string();
}

TlsOutcome TlsChannel::Handshake(const TlsPeer& peer) {
  std::string out, detail;
  for (;;) {
    int step = engine_->Handshake(raw_, out, detail);
    // Whatever the step produced goes out first: on failure it may be the alert.
    if (!out.empty() && !SendAll(out) && step >= 0)
      return {TlsFailure::kSocket, {}, LastSocketError()};
    out.clear();
    if (step < 0) return {TlsFailure::kHandshake, detail, 0};
    if (step > 0) break;
    int ready = socket_.WaitReadablePumped(timeoutMs_);
    if (ready < 0) return {TlsFailure::kSocket, {}, LastSocketError()};
    if (ready == 0) return {TlsFailure::kTimedOut, {}, 0};
    char block[16384];
    long got = socket_.ReceiveRaw(block, sizeof block);
    if (got < 0) return {TlsFailure::kSocket, {}, LastSocketError()};
    if (got == 0) return {TlsFailure::kHandshake, "the server closed the connection", 0};
    raw_.append(block, static_cast<size_t>(got));
  }
  // Bytes behind the handshake's last message may already hold the server's first words.
  if (!engine_->Decrypt(raw_, plain_, closed_, out) || (!out.empty() && !SendAll(out)))
    return {TlsFailure::kHandshake, "the first records after the handshake are broken", 0};
  out.clear();
  if (!peer.PinnedSha256.empty()) {
    // A pin names the one certificate to accept: trust and name are not asked.
    const std::string pin = NormalizeFingerprint(peer.PinnedSha256);
    if (pin.empty() || pin != engine_->CertificateSha256())
      return {TlsFailure::kPinMismatch, engine_->CertificateSha256(), 0};
    return {};
  }
  if (engine_->CertificateSha256().empty())
    return {TlsFailure::kNotTrusted, "the server sent no certificate", 0};
  return CheckTrustPumped();
}

TlsOutcome TlsChannel::CheckTrustPumped() {
  if (!socket_.waitPump_ || socket_.waitSliceMs_ <= 0) return engine_->CheckTrust();
  // The check owns what it uses: a pump that throws leaves it to finish on its own.
  return *RunOnOwnThread<TlsOutcome>(engine_->DetachedTrustCheck(), -1, socket_.waitSliceMs_, socket_.waitPump_);
}

bool TlsChannel::SendAll(const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    long sent = socket_.SendRaw(bytes.data() + at, bytes.size() - at);
    if (sent <= 0) {
      if (sent == 0) SetLastSocketError(kSocketErrorReset);
      return false;
    }
    at += static_cast<size_t>(sent);
  }
  return true;
}

long TlsChannel::Send(const char* data, size_t count) {
  std::string out;
  if (!engine_->Encrypt(data, count, out)) {
    SetLastSocketError(kSocketErrorReset);
    return -1;
  }
  // The record is sent whole: a part of it could not be taken back.
  if (!SendAll(out)) return -1;
  return static_cast<long>(count);
}

int TlsChannel::ReadMore() {
  char block[kRawBlock];
  long got = socket_.ReceiveRaw(block, sizeof block);
  if (got < 0) return -1;
  if (got == 0) {
    // A close in the middle of a record cuts the data short: no end of the stream.
    if (engine_->MidRecord(raw_)) {
      SetLastSocketError(kSocketErrorTlsTruncated);
      return -1;
    }
    // A close without the close notice between records still ends the stream, as a plain
    // close would.
    closed_ = true;
    return 1;
  }
  raw_.append(block, static_cast<size_t>(got));
  if (plainAt_ == plain_.size()) {
    plain_.clear();
    plainAt_ = 0;
  }
  std::string out;
  bool ok = engine_->Decrypt(raw_, plain_, closed_, out);
  if (!out.empty() && !SendAll(out)) return -1;
  if (!ok) {
    SetLastSocketError(kSocketErrorReset);
    return -1;
  }
  return 1;
}

int TlsChannel::WaitReadable(int timeoutMs) {
  // Raw bytes may hold no plaintext (a session ticket, half a record): only decrypted
  // bytes or the end of the stream make the socket readable.
  const auto end = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  while (!HasPlain() && !closed_) {
    int wait = -1;
    if (timeoutMs >= 0) {
      // Rounded up: a wait cut to nothing would spin through the caller's time limit.
      wait = static_cast<int>(
          std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count()));
    }
    int ready = socket_.WaitReadablePumped(wait);
    if (ready <= 0) return ready;
    if (ReadMore() < 0) return -1;
  }
  return 1;
}

long TlsChannel::Receive(char* data, size_t count) {
  // The caller waited first; the rest of a record still has the time limit.
  if (!HasPlain() && !closed_) {
    int ready = WaitReadable(timeoutMs_);
    if (ready < 0) return -1;
    if (ready == 0) {
      SetLastSocketError(kSocketErrorTimedOut);
      return -1;
    }
  }
  if (!HasPlain()) return 0;
  size_t n = std::min(count, plain_.size() - plainAt_);
  std::memcpy(data, plain_.data() + plainAt_, n);
  plainAt_ += n;
  return static_cast<long>(n);
}

bool TlsChannel::ShutdownSend() {
  std::string out;
  engine_->Close(out);
  SendAll(out);  // the server may be gone already; the socket is shut down all the same
  return socket_.ShutdownSendRaw();
}

}  // namespace platform
