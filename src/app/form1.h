// The controller: the hidden main form. It owns the poll timer, the network clients, the
// recent-orders list and every setting, and glues the order intake, the product lookup,
// the page renderer and the publication together. Logic lives in the subsystems; the
// member functions here supply the controller's state and do the file and network work.
#pragma once
#include <memory>
#include <string>

#include "app/health.h"
#include "app/mailintake.h"
#include "app/pagepublisher.h"
#include "app/pop3mailbox.h"
#include "app/timer.h"
#include "base/settingsrecord.h"
#include "intake/orderparser.h"
#include "intake/itemlookup.h"
#include "intake/recentorders.h"
#include "net/ftp.h"
#include "net/http.h"
#include "net/pagefetch.h"
#include "net/idlepump.h"
#include "net/pop3.h"
#include "platform/window.h"
#include "ui/trayicon.h"
#include "ui/traymenu.h"
#include "ui/clientuse.h"
#include "ui/dialogs.h"
#include "ui/form4.h"
#include "ui/statuswindow.h"

// The poll timer's intervals: the usual one, and the one while a backlog is worked off.
constexpr int kNormalPollInterval = 15000;
constexpr int kBacklogPollInterval = 5000;
// After a resume from sleep the next poll comes this soon.
constexpr int kResumePollDelay = 2000;

class TForm1 : public TObject {
 public:
  // Runs FormCreate: house-machine mode, the list, the settings, the start-up page.
  TForm1();
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  void FormCreate();
  // Releases the list and allows the close; nothing is saved. While a cycle runs the list
  // stays: the cycle is still using it.
  bool FormCloseQuery();
  // The main window's procedure: the end-of-session query and the resume from sleep are
  // answered here, everything else gets default handling.
  std::optional<std::intptr_t> WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  // The end of the Windows session: answers 1, stops the timer and releases the network
  // clients, after which no cycle, lookup or upload starts.
  int QueryEndSession();
  // The session did not end after all (WM_ENDSESSION with FALSE): the timer runs again.
  void EndSessionCancelled();

  // The tray menu's commands.
  void PopupMenu1Popup(TObject* Sender);
  void POP3Setting1Click(TObject* Sender);
  void Items1Click(TObject* Sender);
  // A poll cycle now, as the timer would start it (nothing while one runs).
  void CheckNow1Click(TObject* Sender);
  // The status window: the health record and its last events.
  void Status1Click(TObject* Sender);
  // Turns the balloon notices off and on (kept in the settings file).
  void Notice1Click(TObject* Sender);
  // Adds this program to the programs the user's logon starts, or removes it.
  void StartWithWindows1Click(TObject* Sender);
  void Pelnor1Click(TObject* Sender);
  void Exit1Click(TObject* Sender);
  bool Pelnor1Visible() const { return pelnor1Visible_; }
  bool SettingsDialogShown() const { return settingsDialogShown_; }
  // Exit was chosen: the message loop ends, and a cycle that is waiting on the network
  // is abandoned at its next wait and stores nothing.
  bool Closing() const { return closing_; }
  bool CycleRunning() const { return cycleRunning_; }

  void Timer1Timer(TObject* Sender);
  // One cycle takes the oldest mail of the mailbox as one transaction (app/mailintake.h),
  // then renders and publishes the page when the list changed. A page that could not be
  // rendered or published is tried again at the end of every later cycle, once per cycle,
  // whatever the mailbox did (app/pagepublisher.h). The timer is stopped meanwhile and set
  // to the backlog interval when the cycle began with two or more mails, else to the
  // usual one. The cycle holds the mailbox client; when a connection test or another
  // cycle has it, the call does nothing at all (the timer keeps counting down).
  void PollMailbox();
  void WriteLog(int code);

  void RenderStatusPage();
  // Uploads item.html as Target + ".html" to the shop's web space. Silent: a failure ends
  // the publication without a message or a log line, and the next one starts afresh.
  // While the FTP client is taken the publication waits for it; a publication already
  // waiting takes the page as it is when it runs, so none is queued twice. A failure
  // leaves the published page stale: every later poll cycle publishes it again, with or
  // without new mail, until one publication succeeds. The mark survives a restart as
  // the file item.unpublished.
  void PublishPage();
  bool PageStale() const { return pagePublisher_.Stale(); }
  // What the owner is told about the work: the tip, the events log, the status file.
  const THealth& Health() const { return health_; }

  void LoadSettings();
  void SaveSettings();

  // Program-wide values.
  bool HouseMachine = false;
  TSettings Settings;
  TRecentOrders RecentOrders;
  std::string ShopName;
  std::string Label1 = "Label1";  // publication status, never shown
  TTimer Timer1{kNormalPollInterval};
  // The hidden main window, the tray menu and the icon (destroyed first, so the icon
  // leaves the tray before anything else goes).
  std::unique_ptr<platform::HiddenWindow> MainWindow;
  TPopupMenu PopupMenu1;
  TTrayIcon TrayIcon1;
  TNetIdlePump NetIdlePump1;
  std::unique_ptr<TNetPOP3> NetPOP31;
  std::unique_ptr<TNetFTP> NetFTP1;
  std::unique_ptr<TNetHTTP> NetHTTP1;
  std::unique_ptr<TNetPageHTTP> PageHTTP1;
  std::unique_ptr<TProductLookup> Lookup;

  // --- settings dialogs ---
  // Keeps the poll cycle, the publication, the connection tests and "UpLoad" off a client
  // another of them is using.
  TClientUse Clients;
  // The single instances of the dialogs (empty until opened, cleared when closed) and the
  // additional-text window, created hidden at start-up.
  std::unique_ptr<TForm2> Form2;
  std::unique_ptr<TForm3> Form3;
  std::unique_ptr<TForm4> Form4;
  std::unique_ptr<TStatusWindow> StatusWindow;
  TForm2Host Form2Host();
  TForm3Host Form3Host();
  // --- end settings dialogs ---

 private:
  // Lets the GUI run until Label1 reads the status, at most the FTP client's inactivity limit.
  void WaitForPublicationStatus(const char* status);
  void NetFTP1Connected(TObject* Sender);
  void NetFTP1WorkEnd(TObject* Sender);
  void CreatePopupMenu();
  // Whether the user's Run key holds this program's command.
  static bool StartsWithWindows();
  // Whether the current cycle must leave the files alone (the program is closing or the
  // session is ending).
  bool Abandoning() const { return closing_ || sessionEnded_; }
  // Called by the idle pump once abandoning: ends the wait with the silent abort.
  [[noreturn]] void AbandonWait();

  void RunPollCycle();
  // An order's rows were saved (and its mail deleted).
  void ListChanged();
  // A new event of the health record: into the owner's events log and onto stderr.
  void NoteHealthEvent(const THealthEvent& event);
  // The health record changed: the tip, and (without a desktop) the status file.
  void ShowHealth();
  // A page fetcher whose failures and successes are the mall's health.
  std::function<std::string(const std::string&)> MallFetch(std::function<std::string(const std::string&)> fetch);
  void LoadRecentOrdersAtStartUp();
  TPop3Mailbox mailbox_{*NetPOP31, Settings};
  THealth health_{platform::LocalNow, [this](const THealthEvent& event) { NoteHealthEvent(event); }};
  TMailIntake mailIntake_;
  TPagePublisher pagePublisher_;

  bool pelnor1Visible_ = true;
  bool settingsDialogShown_ = false;
  bool sessionEnded_ = false;
  bool closing_ = false;
  bool cycleRunning_ = false;
};

// The health record for monitoring scripts, replaced after every poll cycle where the
// program has no desktop (app/healthtext.h).
extern const char* const kStatusFileName;
// The author's web page, opened from the tray menu.
extern const char* const AuthorPageUrl;
