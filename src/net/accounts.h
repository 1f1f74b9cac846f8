// The shop's two accounts as the clients use them: the mailbox for the poll cycle and its
// connection test, the web space for the publication and its connection test.
#pragma once
#include "base/settingsrecord.h"
#include "net/ftp.h"
#include "net/pop3.h"

// Host, port, user, password, TLS mode and pinned fingerprint of the [POP3] settings.
void ApplyMailboxAccount(TNetPOP3& pop3, const TSettings& settings);
// The same of the [FTP] settings.
void ApplyFtpAccount(TNetFTP& ftp, const TSettings& settings);
