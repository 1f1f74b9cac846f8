// TNetTCPClient::StartTLS: the step from a plain to an encrypted connection, and the
// messages that tell the owner what to fix when the server's certificate is refused.
#include "base/netexceptions.h"
#include "net/netstack.h"
#include "net/tcpclient.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

void TNetTCPClient::StartTLSAfter(const std::string& command, int accepted, const std::string& server) {
  if (SendCommand(command) != accepted)
    throw ENetTLSError("TLS: the " + server + " server does not offer " + command + " (" + LastReplyLine() +
                       "); the password was not sent.");
  StartTLS();
}

void TNetTCPClient::StartTLS(const std::shared_ptr<platform::TlsResumeTicket>& resume) {
  CheckPeerClosed(true, true);
  const std::string host = Lower(Unbracketed(TLSHostName.empty() ? Host : TLSHostName));
  if (!receiveQueue_.Empty()) {
    // Whatever came before the handshake is unprotected, yet would be read as the first
    // protected answer: a man in the middle could inject it.
    TNetTCPConnection::CloseConnection();
    receiveQueue_.Clear();
    throw ENetTLSError("TLS handshake failed: " + host + " sent data before the handshake.");
  }
  platform::TlsOutcome outcome;
  if (binding_.Socket.StartTls({host, TLSFingerprint}, InactivityTimeout, resume, outcome)) return;
  TNetTCPConnection::CloseConnection();
  using platform::TlsFailure;
  const std::string detail = outcome.Detail.empty() ? "" : " (" + outcome.Detail + ")";
  switch (outcome.Failure) {
    case TlsFailure::kNotTrusted:
      throw ENetCertificateError("TLS: the certificate of " + host + " is not trusted" + detail + ".");
    case TlsFailure::kNameMismatch:
      throw ENetCertificateError("TLS: name mismatch, the certificate is not issued for " + host + ".");
    case TlsFailure::kExpired:
      throw ENetCertificateError("TLS: the certificate of " + host + " has expired" + detail + ".");
    case TlsFailure::kPinMismatch:
      throw ENetCertificateError("TLS: the certificate of " + host +
                                 " does not match the pinned fingerprint (it has " +
                                 outcome.Detail + ").");
    case TlsFailure::kTimedOut:
      RaiseSocketError(platform::kSocketErrorTimedOut);
    case TlsFailure::kSocket:
      RaiseSocketError(outcome.SocketError);
    default:
      throw ENetTLSError("TLS handshake failed with " + host + detail + ".");
  }
}
