#include <chrono>
#include <thread>

#include "app/form1.h"
#include "net/netexceptions.h"
#include "platform/application.h"
#include "platform/system.h"

namespace {

constexpr char kLoggedIn[] = "LoggedIn";
constexpr char kTransferComplete[] = "Transfer Complete!";

}  // namespace

void TForm1::NetFTP1Connected(TObject*) { Label1 = kLoggedIn; }

void TForm1::NetFTP1WorkEnd(TObject*) { Label1 = kTransferComplete; }

void TForm1::WaitForPublicationStatus(const char* status) {
  // The client fires its events before its calls return, so this normally ends at once.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(NetFTP1->InactivityTimeout);
  while (Label1 != status) {
    if (std::chrono::steady_clock::now() >= deadline)
      throw ENetSocketError(10060, "Connection timed out.");
    platform::ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void TForm1::PublishPage() {
  if (sessionEnded_ || Settings.FtpHost == "NONE") return;
  TNetFTP& ftp = *NetFTP1;
  try {
    ftp.Host = Settings.FtpHost;
    ftp.Port = Settings.FtpPort;
    ftp.User = Settings.FtpUser;
    ftp.Password = Settings.FtpPass;
    ftp.OpenAndLogIn();
    WaitForPublicationStatus(kLoggedIn);
    ftp.UploadFile(platform::FileInCurrentDirectory(kPageFileName), Settings.Target + ".html", false);
    WaitForPublicationStatus(kTransferComplete);
    ftp.CloseConnection();
  } catch (const std::exception&) {
    // Publication is silent. A connection left open by a refused store is closed, so the
    // next publication connects afresh instead of failing with "Already connected.".
    try {
      if (ftp.IsOpen()) ftp.CloseConnection();
    } catch (const std::exception&) {
    }
  }
}
