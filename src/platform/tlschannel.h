// The TLS session a TcpSocket carries once StartTls succeeded: the backend's engine, the
// raw bytes not yet decrypted and the plaintext not yet read. Only platform/ uses it.
#pragma once
#include <memory>
#include <string>

#include "platform/tls.h"

namespace platform {

class TcpSocket;

class TlsChannel {
 public:
  TlsChannel(TcpSocket& socket, std::unique_ptr<TlsEngine> engine, int timeoutMs)
      : socket_(socket), engine_(std::move(engine)), timeoutMs_(timeoutMs) {}

  // The handshake and the check of the certificate; every wait for the server is bounded
  // by the time limit.
  TlsOutcome Handshake(const TlsPeer& peer);

  long Send(const char* data, size_t count);
  long Receive(char* data, size_t count);
  int WaitReadable(int timeoutMs);
  bool ShutdownSend();
  std::shared_ptr<TlsResumeTicket> Ticket() { return engine_->Ticket(); }

 private:
  bool SendAll(const std::string& bytes);
  // The engine's trust check; with the socket's wait pump, on a thread of its own while the
  // pump runs between slices.
  TlsOutcome CheckTrustPumped();
  // One raw read, decrypted; -1 on failure (the code set), else 1.
  int ReadMore();
  bool HasPlain() const { return plainAt_ < plain_.size(); }

  TcpSocket& socket_;
  std::unique_ptr<TlsEngine> engine_;
  int timeoutMs_;
  std::string raw_;    // received, not yet decrypted
  std::string plain_;  // decrypted, read from plainAt_ on
  size_t plainAt_ = 0;
  bool closed_ = false;  // the server sent its close notice or closed the connection
};

}  // namespace platform
