#include "app/form1.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/eventlog.h"
#include "app/settings.h"
#include "intake/itemlines.h"
#include "publish/productlookup.h"
#include "platform/application.h"
#include "platform/dialog.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "base/netexceptions.h"
#include "publish/publication.h"
#include "publish/statuspage.h"

const char* const AuthorPageUrl = "http://www.pelnor.example/";

TForm1::TForm1()
    : NetPOP31(std::make_unique<TNetPOP3>()),
      NetFTP1(std::make_unique<TNetFTP>()),
      NetHTTP1(std::make_unique<TNetHTTP>()),
      PageHTTP1(std::make_unique<TNetPageHTTP>()) {
  NetHTTP1->Request.Accept = "text/html, */*";
  NetHTTP1->Request.UserAgent = "Mozilla/3.0 (compatible; Vendlume)";
  PageHTTP1->TimeOut = 10000;
  Lookup = std::make_unique<TMallLookup>(
      [this](const std::string& url) { return FetchPage(*PageHTTP1, url); },
      [this](const std::string& url) { return FetchPage(*NetHTTP1, url); },
      [this](int code) { WriteLog(code); }, ShopName, Settings.Mall);
  NetFTP1->Passive = true;
  NetFTP1->OnConnected = [this](TNetComponent*) { NetFTP1Connected(this); };
  NetFTP1->OnWorkEnd = [this](TNetComponent*, TWorkMode) { NetFTP1WorkEnd(this); };
  // While a network call waits, the program's messages (timers, menu commands) go on.
  NetIdlePump1.ProcessMessages = [](bool) { platform::ProcessMessages(); };
  Timer1.OnTimer = [this](TObject* sender) { Timer1Timer(sender); };
  FormCreate();
  Timer1.SetEnabled(true);
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
  // House machines (their names begin with "QVZ") keep an event log and leave the credit
  // out of the page.
  HouseMachine = platform::ComputerName().compare(0, 3, "QVZ") == 0;
  RecentOrders = LoadRecentOrders(platform::FileInCurrentDirectory(RecentOrdersFileName));
  LoadSettings();
  if (Settings.Pop3Host == "NONE") POP3Setting1Click(this);
  try {
    RenderStatusPage();
  } catch (const std::exception&) {
    // The start-up page is a convenience; the next mail renders it again.
  }
  NetHTTP1->HandleRedirects = true;
}

bool TForm1::FormCloseQuery() {
  RecentOrders.clear();
  return true;
}

int TForm1::QueryEndSession() {
  sessionEnded_ = true;
  // The clients stay allocated: a cycle may be waiting inside one of them right now (the
  // end-of-session message arrives through the idle pump). No new cycle, lookup or upload
  // starts after this.
  Timer1.SetEnabled(false);
  return 1;
}

void TForm1::PopupMenu1Popup(TObject*) { pelnor1Visible_ = !HouseMachine; }

void TForm1::POP3Setting1Click(TObject*) {
  settingsDialogShown_ = true;
  if (platform::DialogsAvailable()) return ShowSettingsDialog(Form2, Form2Host());
  // Without the settings dialog on this system, the owner edits the settings file.
  std::fprintf(stderr,
               "Vendlume: no mailbox is configured. Set Host, User, Pass and Port in the [POP3] "
               "section of %s (and the [FTP] section for publication), then start Vendlume again.\n",
               platform::FileInCurrentDirectory(kSettingsFileName).c_str());
}

void TForm1::Items1Click(TObject*) {
  if (platform::DialogsAvailable()) return ShowOutputItemsDialog(Form3, Form3Host());
  std::fprintf(stderr, "Vendlume: the page's look is set in the [HTML] section of %s.\n",
               platform::FileInCurrentDirectory(kSettingsFileName).c_str());
}

void TForm1::Pelnor1Click(TObject*) { platform::OpenInBrowser(AuthorPageUrl); }

void TForm1::Exit1Click(TObject*) {
  if (FormCloseQuery()) platform::Terminate();
}

void TForm1::Timer1Timer(TObject*) {
  if (sessionEnded_ || Settings.Pop3Host == "NONE") return;
  // A connection test holding the mailbox client: this turn is left out, the next tick polls.
  auto mailbox = Clients.TryTake(TNetClientKind::Mailbox);
  if (!mailbox) return;
  PollMailbox();
}

void TForm1::WriteLog(int code) { ::WriteLog(code, HouseMachine, platform::FileInCurrentDirectory(kLogFileName)); }

void TForm1::AddItemBlock(const std::string& section, const std::string& orderTime,
                          const std::string& prefecture) {
  TItemStage(RecentOrders, *Lookup, Settings).AddItemBlock(section, orderTime, prefecture);
}

void TForm1::SaveRecentOrders() {
  ::SaveRecentOrders(RecentOrders, platform::FileInCurrentDirectory(RecentOrdersFileName));
}

void TForm1::RenderStatusPage() {
  ::RenderStatusPage(RecentOrders, Settings, HouseMachine, platform::FileInCurrentDirectory(kPageFileName));
}


void TForm1::LoadSettings() { ::LoadSettings(Settings, platform::FileInCurrentDirectory(kSettingsFileName)); }

void TForm1::SaveSettings() { ::SaveSettings(Settings, platform::FileInCurrentDirectory(kSettingsFileName)); }

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
  // While a connection test or another publication uses the FTP client, this one follows
  // when it is done.
  Clients.UseWhenFree(TNetClientKind::Ftp, [this] {
    if (sessionEnded_) return;
    PublishPageFile(*NetFTP1, Settings, platform::FileInCurrentDirectory(kPageFileName),
                    [this](const char* status) { WaitForPublicationStatus(status); });
  });
}

// --- settings dialogs ---
TForm2Host TForm1::Form2Host() {
  return TForm2Host{Settings, *NetPOP31, *NetFTP1, Clients, [this] { SaveSettings(); },
                    [this] { PublishPage(); }};
}

TForm3Host TForm1::Form3Host() {
  return TForm3Host{Settings, Form4, [this] { RenderStatusPage(); }, [this] { SaveSettings(); }};
}
// --- end settings dialogs ---
