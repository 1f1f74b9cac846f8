// The POP3 client (RFC 1939: user/password login, STAT, RETR, DELE, QUIT) through which
// the order mails are read. Every command is one line of the TCP connection layer; a
// refused command throws ENetProtocolReplyError with the server's reply line.
#pragma once
#include <string>

#include "net/tcpclient.h"

class TNetMessage;

class TNetPOP3 : public TNetTCPClient {
 public:
  TNetPOP3();  // Port 110

  std::string UserId;
  std::string Password;

  // Connects, reads the greeting and logs in with "USER " and "PASS "; each must be
  // answered +OK. With UseTLS the connection is encrypted before the login: from the start
  // (tlsImplicit, port 995) or after "STLS" (tlsExplicit; a server that refuses it gets no
  // password, ENetTLSError). After a failure the connection is closed (with "Quit") and the failure
  // passed on.
  void OpenConnection() override;
  // "STAT": the number of messages in the mailbox.
  int CountMessages();
  // "RETR n": true and the message read (header, then the decoded body) on +OK; false on
  // any other answer, the message left untouched. The header read also ends at a line
  // holding only "."; a retrieval larger than kMaxMessageSize fails with ENetLimitExceeded.
  bool RetrieveMessage(int number, TNetMessage& message);
  // The lines of the last retrieval, each followed by CR LF, as far as they were read
  // (the body's dot-stuffing undone, without the "." line): what is kept of a mail that
  // cannot be used. message is the one that retrieval filled: a plain single-part body is
  // not copied while it arrives, but taken from the message's text here.
  std::string RawMessage(const TNetMessage& message) const;
  // "DELE n": true; a refusal throws. The server deletes at "Quit".
  bool DeleteMessage(int number);
  // Sends "Quit" without waiting for the answer and closes the socket in any case; a
  // failure to send (on a closed connection: ENetConnClosedGracefully) is passed on after.
  void CloseConnection() override;
  // Closes the socket without "Quit": the server carries out none of the session's
  // deletions.
  void Abandon();

 private:
  class MessageReader;
  std::string raw_;              // the lines read, but for a body read into a text
  bool rawBodyInText_ = false;   // the body is in the message's first part instead
};
