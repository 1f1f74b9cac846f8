#include "ui/trayicon.h"

#include <algorithm>
#include <vector>

#include "base/sjisliteral.h"
#include "platform/application.h"

namespace {

std::function<void(const std::exception&)>& ErrorHandler() {
  static std::function<void(const std::exception&)> handler;
  return handler;
}

template <typename F>
void Guarded(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    if (ErrorHandler()) ErrorHandler()(e);
  }
}

const std::string& AddText() {
  static const std::string text = Sjis("タスクトレイにアイコンを登録できません。");
  return text;
}
const std::string& ModifyText() {
  static const std::string text = Sjis("タスクトレイのアイコンを変更できません。");
  return text;
}
const std::string& DeleteText() {
  static const std::string text = Sjis("タスクトレイのアイコンを削除できません。");
  return text;
}
const std::string& OtherText() {
  static const std::string text = Sjis("タスクトレイアイコン処理エラー");
  return text;
}

const std::string& TextFor(int command) {
  switch (command) {
    case platform::kNotifyAdd: return AddText();
    case platform::kNotifyModify: return ModifyText();
    case platform::kNotifyDelete: return DeleteText();
    default: return OtherText();
  }
}

[[noreturn]] void Fail(int command, unsigned code) {
  std::string text = TextFor(command);
  if (code != 0) text += "\r\n" + platform::SystemMessageText(code);
  throw ENotifyIconError(text);
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

void SetTrayErrorHandler(std::function<void(const std::exception&)> handler) {
  ErrorHandler() = std::move(handler);
}

// The process-wide list of tray icons: it knows the "TaskbarCreated" message number and
// routes each hidden window's messages to its icon while the icon exists.
class TTrayIconWinProcList {
 public:
  static TTrayIconWinProcList& Instance() {
    static TTrayIconWinProcList list;
    return list;
  }
  void Enter(TTaskTrayIcon* icon) { icons_.push_back(icon); }
  void Leave(TTaskTrayIcon* icon) { icons_.erase(std::remove(icons_.begin(), icons_.end(), icon), icons_.end()); }
  bool Contains(const TTaskTrayIcon* icon) const {
    return std::find(icons_.begin(), icons_.end(), icon) != icons_.end();
  }
  unsigned TaskbarCreated() const { return taskbarCreated_; }

 private:
  TTrayIconWinProcList() : taskbarCreated_(platform::RegisterMessage("TaskbarCreated")) {}
  std::vector<TTaskTrayIcon*> icons_;
  unsigned taskbarCreated_;
};

std::string TrayTipText(const std::string& tip, unsigned shellVersion) {
  bool v5 = shellVersion >= platform::kShell5;
  std::string text = tip;
  if (!v5) {
    for (size_t p; (p = text.find("\r\n")) != std::string::npos;) text.replace(p, 2, " ");
  }
  size_t limit = v5 ? 127 : 63;
  if (text.size() <= limit) return text;
  // Cut at the byte limit, but never after the first half of a double-byte character.
  size_t end = 0;
  while (end < limit) {
    size_t step = IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + step > limit) break;
    end += step;
  }
  return text.substr(0, end);
}

TTaskTrayIcon::TTaskTrayIcon(TOwnerHandler owner) : owner_(std::move(owner)) {
  TTrayIconWinProcList::Instance().Enter(this);
  ShellVersion = platform::ShellVersion();
}

TTaskTrayIcon::~TTaskTrayIcon() {
  try {
    if (registered_) DeleteIcon();
  } catch (const std::exception&) {
    // The icon goes with the window below; nothing more can be done at exit.
  }
  TTrayIconWinProcList::Instance().Leave(this);
  window_.reset();
}

platform::WindowHandle TTaskTrayIcon::Handle() {
  if (!window_) {
    window_ = std::make_unique<platform::HiddenWindow>(
        "TaskTrayHandle", [this](unsigned m, std::uintptr_t w, std::intptr_t l) { return WindowProc(m, w, l); },
        true);
    // An elevated program gets the shell's notice only when it lets it through.
    platform::AcceptFromLowerPrivilege(window_->Handle(), TTrayIconWinProcList::Instance().TaskbarCreated());
  }
  return window_->Handle();
}

void TTaskTrayIcon::Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Handle();
  window_->Post(msg, wParam, lParam);
}

std::intptr_t TTaskTrayIcon::Send(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Handle();
  return window_->Send(msg, wParam, lParam);
}

void TTaskTrayIcon::SetTip(const std::string& tip, bool callShell) {
  tip_ = tip;
  if (!callShell || !shown_) return;
  FillRecord();
  if (!Shell(platform::kNotifyModify, Record)) RepeatWhile(platform::kNotifyModify, [] { return true; });
}

void TTaskTrayIcon::SetIcon(void* icon) {
  Icon = icon;
  if (!shown_) return;
  FillRecord();
  if (!Shell(platform::kNotifyModify, Record)) RepeatWhile(platform::kNotifyModify, [] { return true; });
}

void TTaskTrayIcon::ShowBalloon(const std::string& title, const std::string& text, bool warning) {
  if (!shown_) return;
  FillRecord();
  Record.flags = platform::kNifInfo;
  Record.infoTitle = title;
  Record.info = text;
  Record.infoWarning = warning;
  Shell(platform::kNotifyModify, Record);
}

void TTaskTrayIcon::FillRecord() {
  bool v5 = ShellVersion >= platform::kShell5;
  Record = platform::NotifyIconRecord{};
  Record.size = platform::NotifyIconRecordSize(ShellVersion);
  if (v5) {
    Record.state = platform::kNisSharedIcon;
    Record.stateMask = 0;
  }
  Record.id = 1;
  Record.window = Handle();
  Record.callbackMessage = kTrayCallbackMessage;
  Record.flags = platform::kNifMessage | platform::kNifIcon | platform::kNifTip;
  Record.icon = Icon;
  Record.tip = TrayTipText(tip_, ShellVersion);
}

void TTaskTrayIcon::ShowIcon() {
  wanted_ = true;
  if (shown_) return;
  FillRecord();
  if (!Record.icon) return;
  if (registered_) {
    Record.flags |= platform::kNifState;
    Record.state = 0;
    Record.stateMask = 3;
    if (Shell(platform::kNotifyModify, Record))
      shown_ = true;
    else
      RepeatWhile(platform::kNotifyModify, [this] { return !shown_; });
    return;
  }
  if (Shell(platform::kNotifyAdd, Record)) {
    registered_ = shown_ = true;
    return;
  }
  AddRetry();
}

void TTaskTrayIcon::AddRetry() {
  for (int counter = RetryCount; !shown_ && counter >= 0;) {
    unsigned code = platform::LastErrorCode();
    if (code != platform::kErrorTimeout) {
      if (code != 0) Fail(platform::kNotifyAdd, code);
      return;  // given up silently, the icon not shown
    }
    platform::Sleep(RetryWait);
    registered_ = shown_ = true;
    if (Shell(platform::kNotifyModify, Record)) return;
    registered_ = shown_ = false;
    if (Shell(platform::kNotifyAdd, Record)) {
      registered_ = shown_ = true;
      return;
    }
    if (counter == 0) Fail(platform::kNotifyModify, 0);
    --counter;
  }
}

bool TTaskTrayIcon::RetryRound(int command, int& counter) {
  unsigned code = platform::LastErrorCode();
  if (code == platform::kErrorTimeout) {
    if (RetryWait > 0) platform::Sleep(RetryWait);
    if (Shell(command, Record)) return true;
    if (counter == 0) Fail(command, 0);
    --counter;
    return false;
  }
  counter = -1;
  if (code != 0) Fail(command, code);
  return true;  // a failure without a code counts as done
}

void TTaskTrayIcon::RepeatWhile(int command, const std::function<bool()>& stillNeeded) {
  for (int counter = RetryCount; stillNeeded() && counter >= 0;) {
    if (RetryRound(command, counter)) return;
  }
}

void TTaskTrayIcon::HideIcon() {
  wanted_ = false;
  if (!registered_) return;
  if (ShellVersion >= platform::kShell5 && HideByState) {
    FillRecord();
    Record.flags = platform::kNifState;
    Record.state = platform::kNisHidden;
    Record.stateMask = 3;
    if (!Shell(platform::kNotifyModify, Record)) RepeatWhile(platform::kNotifyModify, [] { return true; });
    shown_ = false;
  } else {
    DeleteIcon();
  }
}

void TTaskTrayIcon::DeleteIcon() {
  wanted_ = false;
  if (!registered_) return;
  if (Record.window == nullptr) FillRecord();
  bool done = Shell(platform::kNotifyDelete, Record);
  if (!done) RepeatWhile(platform::kNotifyDelete, [] { return true; });
  registered_ = shown_ = false;
}

void TTaskTrayIcon::WatchMouse(std::uintptr_t wParam, std::intptr_t lParam) {
  static const unsigned down[3] = {platform::kWmLButtonDown, platform::kWmRButtonDown, platform::kWmMButtonDown};
  for (int button = 0; button < 3; ++button) {
    unsigned event = static_cast<unsigned>(lParam);
    if (event == down[button]) {
      if (static_cast<std::intptr_t>(wParam) >= 0) buttonDown_[button] = 1;
    } else if (event == down[button] + 1) {  // up
      if (buttonDown_[button]) Send(kTrayMouseClick, button, 0);
      buttonDown_[button] = 0;
    } else if (event == down[button] + 2) {  // double-click: a second press
      buttonDown_[button] = 0;
      Post(kTrayCallbackMessage, static_cast<std::uintptr_t>(-1), down[button]);
    }
  }
}

std::optional<std::intptr_t> TTaskTrayIcon::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  TTrayIconWinProcList& list = TTrayIconWinProcList::Instance();
  if (!list.Contains(this)) return std::nullopt;
  Guarded([&] {
    if (msg == list.TaskbarCreated()) {
      // A new taskbar knows no icon: one that is wanted is added now, also when the first
      // add failed because the taskbar did not exist yet (a start at logon).
      registered_ = shown_ = false;
      if (wanted_) ShowIcon();
      if (owner_) owner_(kTrayRestarted, 0, 0);
    }
    if (msg == kTrayCallbackMessage) WatchMouse(wParam, lParam);
    if (owner_) owner_(msg, wParam, lParam);
  });
  bool own = msg == list.TaskbarCreated() || msg == kTrayCallbackMessage || msg == kTrayMouseEnter ||
             msg == kTrayMouseExit || msg == kTrayMouseClick || msg == kTrayRestarted;
  if (own) return 0;
  return std::nullopt;  // the system's default handling
}

TTrayIcon::TTrayIcon()
    : tray_([this](unsigned m, std::uintptr_t w, std::intptr_t l) { OwnerMessage(m, w, l); }) {}

TTrayIcon::~TTrayIcon() {
  try {
    tray_.HideIcon();
  } catch (const std::exception&) {
  }
}

void TTrayIcon::SetTipHelp(const std::string& tip) { tray_.SetTip(tip, !loading_); }

void TTrayIcon::SetVisible(bool visible) {
  visible_ = visible;
  if (loading_) return;
  if (visible)
    Loaded();
  else
    tray_.HideIcon();
}

void TTrayIcon::Loaded() {
  loading_ = false;
  if (!visible_ || Minimized) return;
  tray_.Icon = UsualIcon();
  tray_.ShowIcon();
}

void* TTrayIcon::UsualIcon() const { return Icon ? Icon : platform::ApplicationIcon(); }

void TTrayIcon::SetWarning(bool warning) {
  if (warning == warning_) return;
  warning_ = warning;
  void* icon = warning ? platform::WarningIcon() : nullptr;
  tray_.SetIcon(icon ? icon : UsualIcon());
}

void TTrayIcon::Notification(TObject* component, bool removing) {
  if (!removing) return;
  if (component == LButtonPopupMenu) LButtonPopupMenu = nullptr;
  if (component == RButtonPopupMenu) RButtonPopupMenu = nullptr;
}

void TTrayIcon::OpenMenu(TPopupMenu* menu, platform::Point at) {
  platform::SetForeground(ApplicationWindow ? ApplicationWindow : tray_.Handle());
  platform::ProcessMessages();
  menu->PopupComponent = this;
  if (!menu->Owner) menu->Owner = ApplicationWindow ? ApplicationWindow : tray_.Handle();
  menu->Popup(at.x, at.y);
}

void TTrayIcon::OwnerMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == kTrayRestarted) {
    if (OnRestartTaskbar) OnRestartTaskbar(this);
    return;
  }
  if (msg == kTrayMouseClick) {
    if (OnMouseClick) OnMouseClick(this, static_cast<int>(wParam));
    return;
  }
  if (msg != kTrayCallbackMessage) return;
  platform::Point at = platform::CursorPosition();
  bool menuOnPress = AutoPopup && !AutoPopupMouseIn;
  switch (static_cast<unsigned>(lParam)) {
    case platform::kWmLButtonDown:
      if (menuOnPress && LButtonPopupMenu) return OpenMenu(LButtonPopupMenu, at);
      if (OnMouseDown) OnMouseDown(this, 0);
      return;
    case platform::kWmRButtonDown:
      if (menuOnPress && RButtonPopupMenu) return OpenMenu(RButtonPopupMenu, at);
      if (OnMouseDown) OnMouseDown(this, 1);
      return;
    case platform::kWmMButtonDown:
      if (OnMouseDown) OnMouseDown(this, 2);
      return;
    case platform::kWmLButtonUp:
    case platform::kWmRButtonUp:
    case platform::kWmMButtonUp:
      if (OnMouseUp) OnMouseUp(this, static_cast<int>((lParam - platform::kWmLButtonUp) / 3));
      return;
    case platform::kWmLButtonDblClk:
      if (OnDblClick) OnDblClick(this);
      return;
    case platform::kWmRButtonDblClk:
      if (OnRDblClick) OnRDblClick(this);
      return;
    case platform::kWmMouseMove:
      if (OnMouseMove) OnMouseMove(this);
      return;
    default:
      return;
  }
}
