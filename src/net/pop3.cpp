#include "net/pop3.h"

#include "base/errors.h"
#include "base/netexceptions.h"
#include "base/numtext.h"
#include "net/netstack.h"

TNetPOP3::TNetPOP3() { Port = 110; }

void TNetPOP3::OpenConnection() {
  RefuseLineBreaks("User", UserId);
  RefuseLineBreaks("Password", Password);
  TNetTCPClient::OpenConnection();
  try {
    ReadReply({1});
    // RFC 2595: a server without STLS answers -ERR; the password must not go out in clear.
    if (UseTLS == tlsExplicit) StartTLSAfter("STLS", 1, "POP3");
    SendCommand("USER " + UserId, 1);
    SendCommand("PASS " + Password, 1);
  } catch (const EAbort&) {
    // The program is ending and the wait was abandoned: no goodbye, which would only fail
    // in its place.
    TNetTCPClient::CloseConnection();
    throw;
  } catch (...) {
    // A failed TLS start has closed the connection already: its reason is passed on, not
    // replaced by the closed connection's refusal of the goodbye.
    if (UseTLS != tlsNone && !Secure() && !binding_.Allocated()) throw;
    // A failing goodbye replaces the first failure.
    CloseConnection();
    throw;
  }
}


int TNetPOP3::CountMessages() {
  SendCommand("STAT", 1);
  const std::string line = LastReplyLine();
  if (line.empty()) return 0;
  // "+OK count size": from the fifth character to the second-to-last one, up to a space.
  std::string count = line.size() > 5 ? line.substr(4, line.size() - 5) : std::string();
  count = count.substr(0, count.find(' '));
  return StrToInt(count);
}

bool TNetPOP3::DeleteMessage(int number) {
  SendCommand("DELE " + IntToStr(number), 1);
  return true;
}

void TNetPOP3::CloseConnection() {
  try {
    WriteLine("Quit");
  } catch (...) {
    TNetTCPClient::CloseConnection();
    throw;
  }
  TNetTCPClient::CloseConnection();
}

void TNetPOP3::Abandon() { TNetTCPClient::CloseConnection(); }
