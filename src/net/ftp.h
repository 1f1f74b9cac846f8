// The FTP client (RFC 959, uploads only) through which the status page is published: log in,
// store one local file under a remote name, close. Every command is one line of the TCP
// connection layer; a refused command throws ENetProtocolReplyError with the server's reply
// line and number. Commands are sent in lower case ("user ", "pass ", "type ", "syst") except
// PASV, PORT and the transfer commands.
//
// Passive mode connects to the control connection's peer at the port the PASV reply names
// (the reply's address is not used); over IPv6 it asks with EPSV, whose reply names only
// the port. Active mode works over IPv4 only. User, password and file names with CR or LF are
// refused with ENetException before they are sent.
//
// Every wait, on the control connection and on the data connection (connect, send, the
// active-mode wait for the server's connection), gives up after InactivityTimeout ms without
// progress with ENetSocketError 10060, like the connection layer's own waits.
#pragma once
#include <iosfwd>
#include <memory>
#include <string>

#include "net/tcpclient.h"

enum TFtpTransferType { ftASCII, ftBinary };

// How long a 426 completion reply waits for the 226 that some servers send right behind it.
constexpr int kFollowUpReplyWait = 2000;  // ms

class TNetFTP : public TNetTCPClient {
 public:
  TNetFTP();  // Port 21
  ~TNetFTP() override;

  std::string User;
  std::string Password;
  // Data connections opened by the client (PASV) instead of by the server (PORT).
  bool Passive = false;

  TFtpTransferType TransferType() const { return transferType_; }
  // A new type is stored and, while the connection is open, sent at once; while a transfer
  // runs the setting is left as it is.
  void SetTransferType(TFtpTransferType type);

  // The text of the "syst" reply after its code, "Unknown" when the server answered 500.
  const std::string& SystemDescription() const { return systemDescription_; }
  // The data connection of a running transfer, or null. It fires this client's OnWorkBegin,
  // OnWork and OnWorkEnd with itself as sender.
  TNetTCPConnection* TransferConnection() const { return transfer_.get(); }

  // Connects (OnConnected fires), reads the 220 greeting and, with logIn, sends "user " + User
  // (230 ends the login there, 331 asks for "pass " + Password, which must be answered 230),
  // the transfer type and "syst". On any failure, "Already connected." included, the
  // connection is closed and the failure passed on.
  // With UseTLS the control connection is encrypted before the login (tlsImplicit from the
  // start, port 990; tlsExplicit after "AUTH TLS", which must be answered 234), and after
  // the login "PBSZ 0" and "PROT P" make the data connections encrypted as well; they
  // offer the control connection's TLS session again. Encrypted transfers are passive only.
  void OpenAndLogIn(bool logIn = true);

  // Stores the local file under remoteName (see UploadStream). A file that cannot be opened
  // throws EFOpenError ("ファイル %s を開けません") before anything is sent.
  void UploadFile(const std::string& localPath, const std::string& remoteName, bool append = false);
  // Stores the stream under remoteName: "STOU " when the name is empty, else "APPE " + name
  // with append, else "STOR " + name. In passive mode the bytes from the stream's position
  // to its end are sent, in active mode the whole stream. Succeeds on a completion reply
  // 225, 226 or 250, or 426 followed by 226; a 426 with no reply within
  // kFollowUpReplyWait ms behind it fails with that 426. The control connection stays open
  // after a refused transfer; the data connection is gone after any outcome.
  void UploadStream(std::istream& stream, const std::string& remoteName, bool append = false);

  // "type I" for ftBinary, "type A" for ftASCII; the reply must be 200.
  void SendTransferType();

  // Ends the session with "QUIT" and its reply (waited for up to InactivityTimeout), then
  // closes the socket. A server that is gone or does not answer does not make it fail.
  void CloseConnection() override;

 private:
  void ProtectDataConnections();
  void SecureDataConnection(TNetTCPClient& data);
  // Opens the data connection as the mode wants, sends the transfer command and the bytes.
  void TransferPassive(std::istream& stream, const std::string& command);
  void TransferActive(std::istream& stream, const std::string& command);
  template <class Connection>
  Connection& NewTransferConnection();
  void ReadCompletion();
  // The port of the server's passive data connection: EPSV over IPv6, else PASV.
  int AskPassivePort();

  TFtpTransferType transferType_ = ftBinary;
  std::string systemDescription_;
  std::unique_ptr<TNetTCPConnection> transfer_;
};
