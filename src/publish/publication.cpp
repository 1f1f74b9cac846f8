#include "publish/publication.h"

#include "net/accounts.h"

bool PublishPageFile(TNetFTP& ftp, const TSettings& settings, const std::string& pagePath,
                     const std::function<void(const char* status)>& awaitStatus, std::string* failure) {
  if (settings.FtpHost == "NONE") return true;
  try {
    ApplyFtpAccount(ftp, settings);
    ftp.OpenAndLogIn();
    awaitStatus(kLoggedIn);
    ftp.UploadFile(pagePath, settings.Target + ".html", false);
    awaitStatus(kTransferComplete);
    ftp.CloseConnection();
    return true;
  } catch (const std::exception& e) {
    if (failure) *failure = e.what();
    try {
      if (ftp.IsOpen()) ftp.CloseConnection();
    } catch (const std::exception&) {
    }
    return false;
  }
}
