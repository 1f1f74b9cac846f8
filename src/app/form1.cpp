#include "app/form1.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <thread>

#include "app/errorhandler.h"
#include "app/eventlog.h"
#include "app/healthtext.h"
#include "app/settings.h"
#include "publish/productlookup.h"
#include "platform/application.h"
#include "platform/autostart.h"
#include "platform/dialog.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "base/errors.h"
#include "base/files.h"
#include "base/netexceptions.h"
#include "base/sjisliteral.h"
#include "publish/publication.h"

const char* const AuthorPageUrl = "http://www.pelnor.example/";

TForm1::TForm1()
    : NetPOP31(std::make_unique<TNetPOP3>()),
      NetFTP1(std::make_unique<TNetFTP>()),
      NetHTTP1(std::make_unique<TNetHTTP>()),
      PageHTTP1(std::make_unique<TNetPageHTTP>()),
      mailIntake_(mailbox_, RecentOrders, ShopName, Settings,
                  {[] { return TMailIntake::Clock::now(); }, [this](int code) { WriteLog(code); },
                   [this] { return Abandoning(); }, [this] { ListChanged(); },
                   [](const std::string& line) { std::fprintf(stderr, "Vendlume: %s\n", line.c_str()); },
                   [this](THealthPart part, const std::string& failure) { health_.Failed(part, failure); }}),
      pagePublisher_({RecentOrders, Settings, HouseMachine, *NetFTP1, Clients,
                      [this](const char* status) { WaitForPublicationStatus(status); },
                      [this] { return Abandoning(); }, [this](int code) { WriteLog(code); },
                      [this](bool stored, const std::string& failure) {
                        if (Settings.FtpHost == "NONE") return;  // nothing was uploaded
                        health_.UploadEnded(stored, failure);
                        ShowHealth();
                      },
                      [this](const std::string& failure) { health_.Failed(THealthPart::LocalFiles, failure); }}) {
  NetHTTP1->Request.Accept = "text/html, */*";
  NetHTTP1->Request.UserAgent = "Mozilla/3.0 (compatible; Vendlume)";
  PageHTTP1->TimeOut = 10000;
  Lookup = std::make_unique<TMallLookup>(
      MallFetch([this](const std::string& url) { return FetchPage(*PageHTTP1, url); }),
      MallFetch([this](const std::string& url) { return FetchPage(*NetHTTP1, url); }),
      [this](int code) { WriteLog(code); }, ShopName, Settings.Mall);
  NetFTP1->Passive = true;
  NetFTP1->OnConnected = [this](TNetComponent*) { NetFTP1Connected(this); };
  NetFTP1->OnWorkEnd = [this](TNetComponent*, TWorkMode) { NetFTP1WorkEnd(this); };
  // While a network call waits, the program's messages (timers, menu commands) go on.
  // Once the owner has chosen exit (or the session ends) the waiting call is abandoned:
  // it may never return, and the program must not wait for it to quit.
  NetIdlePump1.ProcessMessages = [this](bool) {
    platform::ProcessMessages();
    if (Abandoning()) AbandonWait();
  };
  Timer1.OnTimer = [this](TObject* sender) { Timer1Timer(sender); };
  SetTrayErrorHandler([](const std::exception& e) { HandleException(e); });
  MainWindow = std::make_unique<platform::HiddenWindow>(
      "TForm1", [this](unsigned m, std::uintptr_t w, std::intptr_t l) { return WindowProc(m, w, l); }, false);
  CreatePopupMenu();
  FormCreate();
  TrayIcon1.SetTipHelp("Vendlume");
  TrayIcon1.LButtonPopupMenu = &PopupMenu1;
  TrayIcon1.ApplicationWindow = MainWindow->Handle();
  // Started at logon, the taskbar may not exist yet: a failed add is reported, the icon
  // stays wanted and comes with the shell's "TaskbarCreated"; the program goes on.
  RunGuarded([this] { TrayIcon1.Loaded(); });
  Timer1.SetEnabled(true);
}

void TForm1::CreatePopupMenu() {
  auto command = [this](void (TForm1::*handler)(TObject*)) {
    return [this, handler](TObject* sender) { (this->*handler)(sender); };
  };
  PopupMenu1.Items = {
      {"POP3Setting1", Sjis("環境設定"), command(&TForm1::POP3Setting1Click)},
      {"Items1", Sjis("出力項目設定"), command(&TForm1::Items1Click)},
      {"CheckNow1", Sjis("今すぐ確認"), command(&TForm1::CheckNow1Click)},
      {"Status1", Sjis("状態"), command(&TForm1::Status1Click)},
      {"Notice1", Sjis("通知"), command(&TForm1::Notice1Click)},
      {"StartWithWindows1", Sjis("Windows の起動時に開始"), command(&TForm1::StartWithWindows1Click)},
      {"N1", "-"},
      {"Pelnor1", Sjis("Pelnor のページへ"), command(&TForm1::Pelnor1Click)},
      {"Exit1", Sjis("終了"), command(&TForm1::Exit1Click)},
  };
  PopupMenu1.OnPopup = [this](TObject* sender) { PopupMenu1Popup(sender); };
  PopupMenu1.Owner = MainWindow->Handle();
}

std::optional<std::intptr_t> TForm1::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t) {
  if (msg == platform::kWmQueryEndSession) return QueryEndSession();
  // The session's end was called off (another program refused it): polling resumes.
  if (msg == platform::kWmEndSession && wParam == 0) {
    EndSessionCancelled();
    return 0;
  }
  // Back from sleep: the timer may have fired late or not at all, so the mailbox is asked
  // soon (the cycle sets the usual interval again).
  if (msg == platform::kWmPowerBroadcast &&
      (wParam == platform::kPbtResumeAutomatic || wParam == platform::kPbtResumeSuspend)) {
    if (Timer1.Enabled()) Timer1.SetInterval(kResumePollDelay);
    return 1;
  }
  return std::nullopt;
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
  // House machines (their names begin with "QVZ") keep an event log and leave the credit
  // out of the page.
  HouseMachine = platform::ComputerName().compare(0, 3, "QVZ") == 0;
  LoadRecentOrdersAtStartUp();
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
  // A cycle waiting on the network still holds the list; it is released once the cycle
  // has unwound (the program asks again after its message loop).
  if (cycleRunning_) return false;
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

void TForm1::EndSessionCancelled() {
  if (!sessionEnded_) return;
  sessionEnded_ = false;
  // A cycle the query abandoned has unwound by now; the next tick starts a fresh one.
  if (!closing_) Timer1.SetEnabled(true);
}

void TForm1::PopupMenu1Popup(TObject*) {
  pelnor1Visible_ = !HouseMachine;
  if (TMenuItem* item = PopupMenu1.Find("Pelnor1")) item->Visible = pelnor1Visible_;
  // The Run key as it is now: the owner or another tool may have changed it meanwhile.
  if (TMenuItem* item = PopupMenu1.Find("StartWithWindows1")) item->Checked = StartsWithWindows();
  if (TMenuItem* item = PopupMenu1.Find("Notice1")) item->Checked = Settings.NoticeBalloon;
}

void TForm1::CheckNow1Click(TObject* Sender) { Timer1Timer(Sender); }

void TForm1::Status1Click(TObject*) {
  if (platform::DialogsAvailable()) return ShowStatusWindow(StatusWindow, [this] { return HealthReport(health_); });
  std::fprintf(stderr, "Vendlume: %s", HealthStatusText(health_).c_str());
}

void TForm1::Notice1Click(TObject*) {
  Settings.NoticeBalloon = !Settings.NoticeBalloon;
  SaveSettings();
}

bool TForm1::StartsWithWindows() { return platform::StoredAutostart() == platform::AutostartCommand(); }

void TForm1::StartWithWindows1Click(TObject*) {
  // A value naming another copy of the program is replaced by this one's.
  if (!platform::StoreAutostart(!StartsWithWindows()))
    throw EVendlumeError(Sjis("Windows の起動時に開始する設定を変更できません"));
}

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
  closing_ = true;
  Timer1.SetEnabled(false);
  FormCloseQuery();
  platform::Terminate();
}

void TForm1::AbandonWait() {
  // Until the list is saved, the mailbox session is dropped without "Quit": the server
  // keeps the mail, and the next start takes it again. Once saved, the mail's key beside
  // the list makes the next start only delete it.
  mailIntake_.AbandonUnsaved();
  throw EAbort();
}

void TForm1::Timer1Timer(TObject*) {
  if (Abandoning() || Settings.Pop3Host == "NONE") return;
  PollMailbox();
}

void TForm1::PollMailbox() {
  // Whoever asks for a cycle (the timer, or a direct call from anywhere else, also one made
  // from a message pumped in the middle of a cycle): while a connection test or a cycle
  // holds the mailbox client, this turn is left out and the timer keeps its countdown.
  auto mailbox = Clients.TryTake(TNetClientKind::Mailbox);
  if (!mailbox) return;
  cycleRunning_ = true;
  auto endCycle = [this] {
    cycleRunning_ = false;
    if (Abandoning()) mailIntake_.AbandonUnsaved();
  };
  try {
    RunPollCycle();
  } catch (...) {
    endCycle();
    throw;
  }
  endCycle();
}

const char* const kStatusFileName = "Vendlume.status";

void TForm1::WriteLog(int code) {
  if (closing_) return;  // the abandoned cycle's steps did not fail
  ::WriteLog(code, HouseMachine, platform::FileInCurrentDirectory(kLogFileName));
}

void TForm1::ListChanged() {
  pagePublisher_.ListChanged();
  health_.Succeeded(THealthPart::LocalFiles);
  health_.OrderTaken();
}

void TForm1::RenderStatusPage() { pagePublisher_.Render(); }

void TForm1::RunPollCycle() {
  Timer1.SetInterval(0);
  std::exception_ptr failure;
  try {
    mailIntake_.RunCycle(*Lookup);
    health_.Succeeded(THealthPart::Mailbox);  // unless it failed to open in this cycle
  } catch (const ENetException& e) {
    failure = std::current_exception();
    if (!Abandoning()) health_.Failed(THealthPart::Mailbox, e.what());
  } catch (const std::exception& e) {
    failure = std::current_exception();
    if (!Abandoning()) health_.Failed(THealthPart::LocalFiles, e.what());
  } catch (...) {
    failure = std::current_exception();
  }
  // Whatever became of the mailbox, the page that is due goes out now.
  try {
    pagePublisher_.EndCycle();
  } catch (...) {
    if (!failure) failure = std::current_exception();  // else the cycle's own failure is reported
  }
  Timer1.SetInterval(mailIntake_.MessagesFound() >= 2 ? kBacklogPollInterval : kNormalPollInterval);
  if (!Abandoning()) {
    health_.CycleEnded(!failure);
    ShowHealth();
  }
  if (failure) std::rethrow_exception(failure);
}

std::function<std::string(const std::string&)> TForm1::MallFetch(
    std::function<std::string(const std::string&)> fetch) {
  return [this, fetch = std::move(fetch)](const std::string& url) {
    try {
      std::string page = fetch(url);
      health_.Succeeded(THealthPart::Mall);
      return page;
    } catch (const std::exception& e) {
      if (!Abandoning()) health_.Failed(THealthPart::Mall, e.what());
      throw;
    }
  };
}

void TForm1::NoteHealthEvent(const THealthEvent& event) {
  const std::string line = HealthEventLine(event);
  std::fprintf(stderr, "Vendlume: %s\n", SjisToUtf8Text(line).c_str());
  try {
    AppendEventsLogLine(platform::FileInCurrentDirectory(kEventsLogFileName), line);
  } catch (const std::exception&) {
    // A log that cannot be written must not stop the work it tells of; the tip still does.
  }
}

void TForm1::ShowHealth() {
  TrayIcon1.SetTipHelp(HealthTip(health_));
  TrayIcon1.SetWarning(health_.Warning());
  for (const THealthNotice& notice : health_.TakeNotices()) {
    if (!Settings.NoticeBalloon) continue;
    const std::string part = HealthPartName(notice.part);
    if (notice.cleared) TrayIcon1.ShowBalloon(part + Sjis(" は回復しました"), notice.message, false);
    else TrayIcon1.ShowBalloon(part + Sjis(" に問題があります"), notice.message, true);
  }
  if (StatusWindow) StatusWindow->Refresh();
  // Without a desktop, the status file is what a monitoring script reads.
  if (platform::DialogsAvailable()) return;
  try {
    // Rewritten every cycle: replaced whole, without the flushes the order files need.
    ReplaceFileBytes(platform::FileInCurrentDirectory(kStatusFileName), HealthStatusText(health_), TFlush::kNone);
  } catch (const std::exception&) {
    // Tried again after the next cycle.
  }
}

void TForm1::LoadRecentOrdersAtStartUp() {
  const std::string path = platform::FileInCurrentDirectory(RecentOrdersFileName);
  bool unreadable = false;
  RecentOrders = LoadRecentOrders(path, &unreadable);
  if (!unreadable) return;
  // The first save would write over rows that were never loaded: they go aside first.
  const std::string aside = SetUnreadableListAside(path);
  if (aside.empty()) {
    std::fprintf(stderr, "Vendlume: %s cannot be read and cannot be renamed; the list starts empty "
                 "and is not saved over it.\n", path.c_str());
  } else {
    std::fprintf(stderr, "Vendlume: %s cannot be read; it was renamed to %s and the list starts empty.\n",
                 path.c_str(), aside.c_str());
  }
  try {
    WriteLog(kLogListSetAside);
  } catch (const std::exception&) {
    // The message above has said it.
  }
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

void TForm1::PublishPage() { pagePublisher_.Publish(); }

// --- settings dialogs ---
TForm2Host TForm1::Form2Host() {
  return TForm2Host{Settings, *NetPOP31, *NetFTP1, Clients, [this] { SaveSettings(); },
                    [this] { PublishPage(); }};
}

TForm3Host TForm1::Form3Host() {
  return TForm3Host{Settings, Form4, [this] { RenderStatusPage(); }, [this] { SaveSettings(); }};
}
// --- end settings dialogs ---
