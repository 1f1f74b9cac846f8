// The mailbox of the intake on the POP3 client, with the account of the settings.
#pragma once
#include "app/mailintake.h"
#include "net/pop3.h"

class TPop3Mailbox : public TMailbox {
 public:
  TPop3Mailbox(TNetPOP3& pop3, const TSettings& settings) : pop3_(pop3), settings_(settings) {}
  // Connects and logs in with the account as the settings have it now.
  void Open() override;
  bool IsOpen() override { return pop3_.IsOpen(); }
  int Count() override { return pop3_.CountMessages(); }
  bool Retrieve(int number, TNetMessage& message) override { return pop3_.RetrieveMessage(number, message); }
  std::string RawText(const TNetMessage& message) override { return pop3_.RawMessage(message); }
  std::string RefusalLine() override { return pop3_.LastReplyLine(); }
  void Delete(int number) override { pop3_.DeleteMessage(number); }
  // "Quit" commits the deletions.
  void Commit() override { pop3_.CloseConnection(); }
  void Abandon() override { pop3_.Abandon(); }

 private:
  TNetPOP3& pop3_;
  const TSettings& settings_;
};
