// The notification-area icon. TTaskTrayIcon holds the shell's icon record, talks to the
// shell (with its time-out retries) and owns the hidden "TaskTrayHandle" window;
// TTrayIcon is the component the controller configures: tip, menus, visibility.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "base/object.h"
#include "platform/tray.h"
#include "platform/window.h"
#include "ui/traymenu.h"

// Adding, changing or deleting the icon failed; the text names the operation and, after
// CR LF, the system's text for the error code.
struct ENotifyIconError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The callback message of the icon and the notices of the hidden window.
constexpr unsigned kTrayCallbackMessage = platform::kWmUser + 200;  // 1224
constexpr unsigned kTrayMouseEnter = platform::kWmUser + 210;       // 1234
constexpr unsigned kTrayMouseExit = platform::kWmUser + 211;        // 1235
constexpr unsigned kTrayMouseClick = platform::kWmUser + 212;       // 1236
constexpr unsigned kTrayRestarted = platform::kWmUser + 220;        // 1244

// Failures inside the tray's message handling (a menu command, a re-add after the
// taskbar came back) go to the application's top-level handler, set by the program.
void SetTrayErrorHandler(std::function<void(const std::exception&)> handler);

// The tip as the shell's record holds it: at most 127 bytes from shell 5.0 on, 63 before
// (never ending in half a double-byte character); before 5.0 each CR LF becomes a blank.
std::string TrayTipText(const std::string& tip, unsigned shellVersion);

// Watches the mouse over the icon: button marks make clicks, a double-click comes back as
// a second button-down. With UseDefault the shell's tip keeps its system colours.
struct TToolTipStyle {
  bool UseDefault = true;
  std::string BackGroundColor = "clBlack";
  std::string TextColor = "clWindowText";
};

class TTaskTrayIcon {
 public:
  using TShell = std::function<bool(int command, const platform::NotifyIconRecord& record)>;
  using TOwnerHandler = std::function<void(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)>;

  explicit TTaskTrayIcon(TOwnerHandler owner);
  ~TTaskTrayIcon();
  TTaskTrayIcon(const TTaskTrayIcon&) = delete;
  TTaskTrayIcon& operator=(const TTaskTrayIcon&) = delete;

  unsigned ShellVersion = 0;
  platform::NotifyIconRecord Record;
  bool HideByState = true;
  int RetryCount = 5;
  int RetryWait = 2000;  // ms
  TShell Shell = platform::ShellNotifyIcon;
  TToolTipStyle ToolTipStyle;
  void* Icon = nullptr;

  bool Registered() const { return registered_; }
  bool Shown() const { return shown_; }
  const std::string& Tip() const { return tip_; }
  void SetTip(const std::string& tip, bool callShell);
  // Changes the icon's image (at once when it is shown).
  void SetIcon(void* icon);
  // A balloon notice beside a shown icon; one the shell refuses is lost (the tip and the
  // events log still tell it).
  void ShowBalloon(const std::string& title, const std::string& text, bool warning);

  // Adds the icon, or un-hides it when it is registered but hidden. From then on the icon
  // is wanted: when the add fails it is pending, and the next "TaskbarCreated" adds it.
  void ShowIcon();
  // Hides it (marked hidden from shell 5.0 on, deleted before); no longer wanted.
  void HideIcon();
  void DeleteIcon();
  bool Wanted() const { return wanted_; }

  // The hidden window, created on first need.
  platform::WindowHandle Handle();
  void Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::intptr_t Send(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

 private:
  std::optional<std::intptr_t> WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  void WatchMouse(std::uintptr_t wParam, std::intptr_t lParam);
  void FillRecord();
  void AddRetry();
  // One round of the modify or delete retry; true when the call is done with.
  bool RetryRound(int command, int& counter);
  void RepeatWhile(int command, const std::function<bool()>& stillNeeded);

  TOwnerHandler owner_;
  std::string tip_ = "TipHelp";
  bool registered_ = false;
  bool shown_ = false;
  bool wanted_ = false;
  int buttonDown_[3] = {};
  std::unique_ptr<platform::HiddenWindow> window_;
};

class TTrayIcon : public TObject {
 public:
  TTrayIcon();
  ~TTrayIcon() override;

  const std::string& TipHelp() const { return tray_.Tip(); }
  // The image shown: the warning icon, or the usual one (Icon or the program's).
  void SetWarning(bool warning);
  bool Warning() const { return warning_; }
  void ShowBalloon(const std::string& title, const std::string& text, bool warning) {
    tray_.ShowBalloon(title, text, warning);
  }
  void SetTipHelp(const std::string& tip);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  TPopupMenu* LButtonPopupMenu = nullptr;
  TPopupMenu* RButtonPopupMenu = nullptr;
  bool AutoPopup = true;
  bool AutoPopupMouseIn = false;
  bool Minimized = false;
  void* Icon = nullptr;
  int ResourceIconID = -1;
  // The window brought to the foreground before a menu opens.
  platform::WindowHandle ApplicationWindow = nullptr;

  std::function<void(TObject* Sender, int button)> OnMouseDown, OnMouseUp, OnMouseClick;
  std::function<void(TObject* Sender)> OnDblClick, OnRDblClick, OnMouseMove, OnRestartTaskbar;

  // Once the owner's properties are set: shows the icon when Visible.
  void Loaded();
  // Another component goes away: a menu that is removed is no longer referenced.
  void Notification(TObject* component, bool removing);

  TTaskTrayIcon& Tray() { return tray_; }

 private:
  void OwnerMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  void OpenMenu(TPopupMenu* menu, platform::Point at);
  void* UsualIcon() const;

  TTaskTrayIcon tray_;
  bool loading_ = true;
  bool visible_ = true;
  bool warning_ = false;
};
