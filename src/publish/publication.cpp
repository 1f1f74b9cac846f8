#include "publish/publication.h"

void PublishPageFile(TNetFTP& ftp, const TSettings& settings, const std::string& pagePath,
                     const std::function<void(const char* status)>& awaitStatus) {
  if (settings.FtpHost == "NONE") return;
  try {
    ftp.Host = settings.FtpHost;
    ftp.Port = settings.FtpPort;
    ftp.User = settings.FtpUser;
    ftp.Password = settings.FtpPass;
    ftp.UseTLS = static_cast<TNetTLSMode>(settings.FtpTls);
    ftp.TLSFingerprint = settings.FtpFingerprint;
    ftp.OpenAndLogIn();
    awaitStatus(kLoggedIn);
    ftp.UploadFile(pagePath, settings.Target + ".html", false);
    awaitStatus(kTransferComplete);
    ftp.CloseConnection();
  } catch (const std::exception&) {
    try {
      if (ftp.IsOpen()) ftp.CloseConnection();
    } catch (const std::exception&) {
    }
  }
}
