#include "net/ftp.h"

#include <fstream>

#include "base/errors.h"
#include "base/sjisliteral.h"
#include "net/ftpparse.h"
#include "net/netstack.h"
#include "base/netexceptions.h"
#include "net/simpleserver.h"

namespace {

// A data connection that is already gone when the upload ends or fails reports this code;
// the outcome then comes from the control connection's reply.
constexpr int kSocketErrorNotSocket = 10038;

}  // namespace

TNetFTP::TNetFTP() { Port = 21; }

TNetFTP::~TNetFTP() = default;

void TNetFTP::SetTransferType(TFtpTransferType type) {
  if (type == transferType_ || transfer_) return;
  transferType_ = type;
  if (IsOpen()) SendTransferType();
}

void TNetFTP::SendTransferType() {
  SendCommand(std::string("type ") + (transferType_ == ftBinary ? "I" : "A"), 200);
}

void TNetFTP::OpenAndLogIn(bool logIn) {
  try {
    RefuseLineBreaks("User", User);
    RefuseLineBreaks("Password", Password);
    OpenConnection();
    ReadReply({220});
    // RFC 4217: "AUTH TLS" answered 234, then the handshake; the login follows encrypted.
    if (UseTLS == tlsExplicit) StartTLSAfter("AUTH TLS", 234, "FTP");
    if (!logIn) return;
    WriteLine("user " + User);
    if (ReadReply({230, 331}) == 331) SendCommand("pass " + Password, 230);
    if (UseTLS != tlsNone) ProtectDataConnections();
    SendTransferType();
    WriteLine("syst");
    if (ReadReply({200, 215, 500}) == 500) {
      systemDescription_ = "Unknown";
    } else {
      const std::string line = LastReplyLine();
      systemDescription_ = line.size() > 3 ? line.substr(3) : std::string();
    }
  } catch (...) {
    CloseConnection();
    throw;
  }
}


void TNetFTP::CloseConnection() {
  // Without QUIT a server logs the session as aborted, and some count it against the
  // user's connection limit for a while.
  if (binding_.Allocated() && !closedByPeer_) {
    try {
      SendCommand("QUIT");
    } catch (const ENetException&) {
      // Gone or silent: the close below ends the session all the same.
    }
  }
  TNetTCPClient::CloseConnection();
}

void TNetFTP::ProtectDataConnections() {
  // No buffer size for a stream protocol, then private data connections (RFC 4217).
  SendCommand("PBSZ 0", 200);
  SendCommand("PROT P", 200);
}

void TNetFTP::SecureDataConnection(TNetTCPClient& data) {
  // The data connection goes to the address of the PASV reply, but the certificate is the
  // control connection's server's; and servers want the control connection's session
  // again, the proof that both connections come from the same client.
  data.TLSHostName = TLSHostName.empty() ? Host : TLSHostName;
  data.TLSFingerprint = TLSFingerprint;
  data.StartTLS(TLSResumeTicket());
}

void TNetFTP::UploadFile(const std::string& localPath, const std::string& remoteName,
                         bool append) {
  std::ifstream file(localPath, std::ios::binary);
  // A folder opens on some systems; only reading from it fails.
  if (file) file.peek();
  if (!file.is_open() || file.bad() || file.fail()) {
    static const std::string before = Sjis("ファイル ");
    static const std::string after = Sjis(" を開けません");
    throw EFOpenError(before + localPath + after);
  }
  file.clear();  // the end of an empty file
  UploadStream(file, remoteName, append);
}

void TNetFTP::UploadStream(std::istream& stream, const std::string& remoteName, bool append) {
  RefuseLineBreaks("File name", remoteName);
  const std::string command = remoteName.empty() ? "STOU "
                              : append           ? "APPE " + remoteName
                                                 : "STOR " + remoteName;
  try {
    if (Passive) TransferPassive(stream, command);
    else TransferActive(stream, command);
  } catch (...) {
    transfer_.reset();
    throw;
  }
  ReadCompletion();
}

template <class Connection>
Connection& TNetFTP::NewTransferConnection() {
  auto connection = std::make_unique<Connection>();
  connection->OnWorkBegin = OnWorkBegin;
  connection->OnWork = OnWork;
  connection->OnWorkEnd = OnWorkEnd;
  connection->InactivityTimeout = InactivityTimeout;
  Connection& made = *connection;
  transfer_ = std::move(connection);
  return made;
}

void TNetFTP::TransferPassive(std::istream& stream, const std::string& command) {
  const int port = AskPassivePort();
  // Only the port is taken from the reply: the data connection goes to the host the control
  // connection reached. An address in the reply could send the upload anywhere, and behind
  // NAT the server names an address the client cannot reach.
  const std::string host = Binding().PeerIP;
  // The server answers the transfer command only once the data connection is up, so the
  // reply is read after connecting.
  WriteLine(command);
  TNetTCPClient& data = NewTransferConnection<TNetTCPClient>();
  data.Host = host;
  data.Port = port;
  data.OpenConnection();
  try {
    if (Secure()) SecureDataConnection(data);
    ReadReply({110, 125, 150});
    try {
      data.WriteFromStream(stream, false, false);
    } catch (const ENetSocketError& e) {
      if (e.Code != kSocketErrorNotSocket) throw;
    }
  } catch (...) {
    data.CloseConnection();
    throw;
  }
  // The close tells the server that the file is complete.
  data.CloseConnection();
  transfer_.reset();
}

int TNetFTP::AskPassivePort() {
  // PASV can only name an IPv4 address (RFC 2428).
  if (platform::IsIPv6Text(Binding().PeerIP)) {
    SendCommand("EPSV", 229);
    return ParseExtendedPassiveReply(LastReplyLine());
  }
  SendCommand("PASV", 227);
  return ParsePassiveReply(LastReplyLine()).Port;
}

void TNetFTP::TransferActive(std::istream& stream, const std::string& command) {
  // The server would connect to us, yet we would still have to be the TLS client: not done.
  if (Secure()) throw ENetTLSError("TLS: encrypted FTP transfers need passive mode.");
  // PORT can only name an IPv4 address.
  if (platform::IsIPv6Text(Binding().IP)) throw ENetException("FTP: active mode works over IPv4 only.");
  TNetSimpleServer& data = NewTransferConnection<TNetSimpleServer>();
  data.BoundIP = Binding().IP;
  data.BoundPort = 0;
  data.BeginListen(1);
  SendCommand("PORT " + FormatPortArgument(data.Binding().IP, data.Binding().Port), 200);
  WriteLine(command);
  ReadReply({125, 150});
  data.AcceptPeer();
  data.WriteFromStream(stream, true, false);
  data.CloseConnection();
  transfer_.reset();
}

void TNetFTP::ReadCompletion() {
  // 426: the server saw the data connection end early. A server that still confirms the
  // file sends its 226 right behind; most leave it at the 426, and waiting for a reply that
  // is not coming would hold the upload for the whole inactivity limit.
  if (ReadReply({225, 226, 250, 426}) != 426) return;
  if (QueuedBytes() == 0 && !WaitReadable(kFollowUpReplyWait)) throw ENetProtocolReplyError(426, LastReplyLine());
  ReadReply({226});
}
