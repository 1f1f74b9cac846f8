#include "net/accounts.h"

void ApplyMailboxAccount(TNetPOP3& pop3, const TSettings& settings) {
  pop3.Host = settings.Pop3Host;
  pop3.Port = settings.Pop3Port;
  pop3.UserId = settings.Pop3User;
  pop3.Password = settings.Pop3Pass;
  pop3.UseTLS = static_cast<TNetTLSMode>(settings.Pop3Tls);
  pop3.TLSFingerprint = settings.Pop3Fingerprint;
}

void ApplyFtpAccount(TNetFTP& ftp, const TSettings& settings) {
  ftp.Host = settings.FtpHost;
  ftp.Port = settings.FtpPort;
  ftp.User = settings.FtpUser;
  ftp.Password = settings.FtpPass;
  ftp.UseTLS = static_cast<TNetTLSMode>(settings.FtpTls);
  ftp.TLSFingerprint = settings.FtpFingerprint;
}
