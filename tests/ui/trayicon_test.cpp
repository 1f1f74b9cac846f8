// The tray icon through its hidden window: the shell's callback messages, the taskbar
// coming back, the shell's time-out retries and the error texts. Under Wine the window
// and its messages are real; the shell itself is replaced where a failure is needed.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/sjisliteral.h"
#include "platform/application.h"
#include "ui/trayicon.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using platform::NotifyIconRecord;

struct ShellCall {
  int command;
  NotifyIconRecord record;
};

constexpr unsigned kOk = ~0u;

// A shell that answers from a script of error codes (0 = success) and records each call.
struct FakeShell {
  std::vector<unsigned> failures;  // error code per call (0: failed without one); then success
  std::vector<ShellCall> calls;
  TTaskTrayIcon::TShell Seam() {
    return [this](int command, const NotifyIconRecord& record) {
      calls.push_back({command, record});
      unsigned code = calls.size() <= failures.size() ? failures[calls.size() - 1] : kOk;
      platform::SetLastErrorCode(code == kOk ? 0 : code);
      return code == kOk;
    };
  }
  std::vector<int> Commands() const {
    std::vector<int> c;
    for (auto& call : calls) c.push_back(call.command);
    return c;
  }
};

// Opening a menu shows a real popup under Windows; it is closed again at once.
int popups = 0;
void CountPopup(TObject*) {
  ++popups;
#ifdef _WIN32
  SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
  });
#endif
}

void Pump() {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
  while (std::chrono::steady_clock::now() < until) platform::ProcessMessages();
}

struct Icon {
  FakeShell shell;
  TPopupMenu menu;
  std::unique_ptr<TTrayIcon> tray = std::make_unique<TTrayIcon>();
  explicit Icon(std::vector<unsigned> failures = {}) {
    shell.failures = std::move(failures);
    tray->Tray().Shell = shell.Seam();
    tray->Tray().RetryWait = 1;
    tray->SetTipHelp("Vendlume");
    tray->LButtonPopupMenu = &menu;
    menu.Items = {{"Exit1", "Exit"}};
    menu.OnPopup = CountPopup;
  }
};

TEST(TrayIcon, CallbackMessagesOpenTheMenuOnlyForALeftPress) {
  struct Case {
    const char* what;
    unsigned event;
    int popups;
  } cases[] = {
      {"left button down", platform::kWmLButtonDown, 1},
      {"left double-click comes back as a second press", platform::kWmLButtonDblClk, 1},
      {"left button up", platform::kWmLButtonUp, 0},
      {"right button down", platform::kWmRButtonDown, 0},
      {"mouse move", platform::kWmMouseMove, 0},
  };
  for (const Case& c : cases) {
    Icon icon;
    icon.tray->Loaded();
    popups = 0;
    icon.tray->Tray().Send(kTrayCallbackMessage, 1, c.event);
    Pump();
    EXPECT_EQ(popups, c.popups) << c.what;
    if (c.popups) {
      EXPECT_EQ(icon.menu.PopupComponent, icon.tray.get()) << c.what;
    }
  }
}

TEST(TrayIcon, AMenuThatIsRemovedIsNoLongerOpened) {
  Icon icon;
  icon.tray->Loaded();
  int downs = 0;
  icon.tray->OnMouseDown = [&](TObject*, int) { ++downs; };
  icon.tray->Notification(&icon.menu, true);
  popups = 0;
  icon.tray->Tray().Send(kTrayCallbackMessage, 1, platform::kWmLButtonDown);
  EXPECT_EQ(popups, 0);
  EXPECT_EQ(downs, 1);
}

TEST(TrayIcon, TheRecordFollowsTheShellVersion) {
  for (unsigned version : {0x00060001u, 0x00040047u}) {
    Icon icon;
    icon.tray->Tray().ShellVersion = version;
    icon.tray->Loaded();
    ASSERT_EQ(icon.shell.calls.size(), 1u);
    const NotifyIconRecord& r = icon.shell.calls[0].record;
    EXPECT_EQ(icon.shell.calls[0].command, platform::kNotifyAdd);
    EXPECT_EQ(r.size, platform::NotifyIconRecordSize(version));
    EXPECT_EQ(r.state, version >= platform::kShell5 ? platform::kNisSharedIcon : 0u);
    EXPECT_EQ(r.stateMask, 0u);
    EXPECT_EQ(r.id, 1u);
    EXPECT_EQ(r.flags, 7u);
    EXPECT_EQ(r.callbackMessage, 1224u);
    EXPECT_EQ(r.window, icon.tray->Tray().Handle());
    EXPECT_NE(r.icon, nullptr);
    EXPECT_EQ(r.tip, "Vendlume");
  }
#ifndef _WIN32
  EXPECT_EQ(platform::NotifyIconRecordSize(0x00050000), 488u);
  EXPECT_EQ(platform::NotifyIconRecordSize(0x00040047), 88u);
#endif
}

TEST(TrayIcon, TipsAreCutAtTheShellsLimit) {
  const std::string kanji = Sjis("桜");  // two bytes
  struct Case {
    std::string tip;
    unsigned version;
    std::string expected;
  } cases[] = {
      {std::string(200, 'a'), 0x00050000, std::string(127, 'a')},
      {std::string(200, 'a'), 0x00040047, std::string(63, 'a')},
      {std::string(127, 'a'), 0x00050000, std::string(127, 'a')},
      {std::string(126, 'a') + kanji, 0x00050000, std::string(126, 'a')},  // no half character
      {"a\r\nb", 0x00040047, "a b"},
      {"a\r\nb", 0x00050000, "a\r\nb"},
  };
  for (const Case& c : cases) EXPECT_EQ(TrayTipText(c.tip, c.version), c.expected) << c.tip.size();
}

TEST(TrayIcon, ARecreatedTaskbarGetsTheIconBackWithTheSameTip) {
  Icon icon;
  icon.tray->Loaded();
  int restarts = 0;
  icon.tray->OnRestartTaskbar = [&](TObject*) { ++restarts; };
  platform::BroadcastMessage(platform::RegisterMessage("TaskbarCreated"));
  Pump();
  ASSERT_EQ(icon.shell.Commands(), (std::vector<int>{platform::kNotifyAdd, platform::kNotifyAdd}));
  EXPECT_EQ(icon.shell.calls[1].record.tip, "Vendlume");
  EXPECT_EQ(icon.shell.calls[1].record.icon, icon.shell.calls[0].record.icon);
  EXPECT_TRUE(icon.tray->Tray().Shown());
  EXPECT_EQ(restarts, 1);
}

TEST(TrayIcon, TheShellsTimeOutIsRetriedAndOtherFailuresNameTheSystemsText) {
  const std::string addText = Sjis("タスクトレイにアイコンを登録できません。");
  const std::string modifyText = Sjis("タスクトレイのアイコンを変更できません。");
  {  // time-out, then the icon turns out to be there
    Icon icon({1460, kOk});
    icon.tray->Loaded();
    EXPECT_EQ(icon.shell.Commands(), (std::vector<int>{platform::kNotifyAdd, platform::kNotifyModify}));
    EXPECT_TRUE(icon.tray->Tray().Shown());
  }
  {  // time-out for ever: six rounds after the first failure
    Icon icon(std::vector<unsigned>(20, 1460));
    try {
      icon.tray->Loaded();
      ADD_FAILURE() << "no error";
    } catch (const ENotifyIconError& e) {
      EXPECT_EQ(std::string(e.what()), modifyText);
    }
    EXPECT_EQ(icon.shell.calls.size(), 1u + 6 * 2);
    EXPECT_FALSE(icon.tray->Tray().Shown());
  }
  {  // access denied
    Icon icon({5});
    try {
      icon.tray->Loaded();
      ADD_FAILURE() << "no error";
    } catch (const ENotifyIconError& e) {
      EXPECT_EQ(std::string(e.what()), addText + "\r\n" + platform::SystemMessageText(5));
    }
#ifdef _WIN32
    EXPECT_FALSE(platform::SystemMessageText(5).empty());
#endif
  }
  {  // a failure without a code is given up silently
    Icon icon({0});
    EXPECT_NO_THROW(icon.tray->Loaded());
    EXPECT_FALSE(icon.tray->Tray().Shown());
  }
}

TEST(TrayIcon, TheIconLeavesTheTrayWhenTheComponentGoes) {
  std::vector<int> commands;
  {
    Icon icon;
    icon.tray->Loaded();
    icon.shell.calls.clear();
    icon.tray->~TTrayIcon();
    commands = icon.shell.Commands();
    new (icon.tray.get()) TTrayIcon();
  }
  // Hidden by state first (shell 5.0 and later), then deleted.
  EXPECT_EQ(commands, (std::vector<int>{platform::kNotifyModify, platform::kNotifyDelete}));
}

#ifndef _WIN32
TEST(TrayIcon, TheStandInAreaHoldsTheIconWhileTheComponentLives) {
  {
    TTrayIcon tray;
    tray.SetTipHelp("Vendlume");
    tray.Loaded();
    auto icons = platform::NotificationAreaIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].tip, "Vendlume");
  }
  EXPECT_TRUE(platform::NotificationAreaIcons().empty());
}
#endif

}  // namespace
