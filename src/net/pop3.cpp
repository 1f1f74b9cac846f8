#include "net/pop3.h"

#include "base/numtext.h"
#include "net/netstack.h"

TNetPOP3::TNetPOP3() { Port = 110; }

void TNetPOP3::OpenConnection() {
  RefuseLineBreaks("User", UserId);
  RefuseLineBreaks("Password", Password);
  TNetTCPClient::OpenConnection();
  try {
    ReadReply({1});
    SendCommand("USER " + UserId, 1);
    SendCommand("PASS " + Password, 1);
  } catch (...) {
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
