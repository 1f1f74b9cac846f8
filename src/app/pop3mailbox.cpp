#include "app/pop3mailbox.h"

#include "net/accounts.h"

void TPop3Mailbox::Open() {
  ApplyMailboxAccount(pop3_, settings_);
  pop3_.OpenConnection();
}
