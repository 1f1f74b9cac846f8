#include "publish/publication.h"

#include "net/accounts.h"

void PublishPageFile(TNetFTP& ftp, const TSettings& settings, const std::string& pagePath,
                     const std::function<void(const char* status)>& awaitStatus) {
  if (settings.FtpHost == "NONE") return;
  try {
    ApplyFtpAccount(ftp, settings);
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
