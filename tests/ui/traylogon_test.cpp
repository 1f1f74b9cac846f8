// The tray icon of a program started at logon, before the taskbar exists: the first add
// fails (without a code, with the shell's time-out for every retry, with another code), the
// icon stays wanted, and the shell's "TaskbarCreated" adds it. The shell is a seam here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/sjisliteral.h"
#include "platform/application.h"
#include "ui/trayicon.h"

namespace {

using platform::NotifyIconRecord;

// Fails the first calls with the given codes, then succeeds; counts the adds that worked.
struct LateShell {
  std::vector<unsigned> codes;
  size_t calls = 0;
  int adds = 0;
  TTaskTrayIcon::TShell Seam() {
    return [this](int command, const NotifyIconRecord&) {
      if (calls < codes.size()) {
        platform::SetLastErrorCode(codes[calls++]);
        return false;
      }
      ++calls;
      platform::SetLastErrorCode(0);
      if (command == platform::kNotifyAdd) ++adds;
      return true;
    };
  }
};

void TaskbarCreated() {
  platform::BroadcastMessage(platform::RegisterMessage("TaskbarCreated"));
  platform::ProcessMessages();
}

TEST(TrayAtLogon, AFailedFirstAddIsPendingUntilTheTaskbarIsCreated) {
  const std::string addText = Sjis("タスクトレイにアイコンを登録できません。");
  const std::string modifyText = Sjis("タスクトレイのアイコンを変更できません。");
  struct Row {
    const char* name;
    std::vector<unsigned> codes;  // of the shell's calls before the taskbar exists
    std::string error;            // what the first add reports; empty: nothing
  } rows[] = {
      {"no error code", {0}, ""},
      {"the shell's time-out on every retry", std::vector<unsigned>(13, platform::kErrorTimeout), modifyText},
      {"another code", {5}, addText + "\r\n" + platform::SystemMessageText(5)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LateShell shell{row.codes};
    TTrayIcon tray;
    tray.Tray().Shell = shell.Seam();
    tray.Tray().RetryWait = 1;
    tray.SetTipHelp("Vendlume");
    std::string error;
    try {
      tray.Loaded();
    } catch (const ENotifyIconError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(shell.calls, row.codes.size());  // every retry was made, and no more
    EXPECT_FALSE(tray.Tray().Shown());
    EXPECT_TRUE(tray.Tray().Wanted());

    int restarts = 0;
    tray.OnRestartTaskbar = [&](TObject*) { ++restarts; };
    TaskbarCreated();
    EXPECT_EQ(shell.adds, 1);
    EXPECT_TRUE(tray.Tray().Shown());
    EXPECT_TRUE(tray.Tray().Registered());
    EXPECT_EQ(restarts, 1);
  }
}

TEST(TrayAtLogon, AnIconNoLongerWantedIsNotAddedByANewTaskbar) {
  LateShell shell;
  TTrayIcon tray;
  tray.Tray().Shell = shell.Seam();
  tray.Loaded();
  ASSERT_EQ(shell.adds, 1);
  tray.SetVisible(false);
  EXPECT_FALSE(tray.Tray().Wanted());
  TaskbarCreated();
  EXPECT_EQ(shell.adds, 1);
  EXPECT_FALSE(tray.Tray().Shown());
}

TEST(TrayAtLogon, TheIconsWindowLeavesOtherMessagesToTheSystem) {
  LateShell shell;
  TTrayIcon tray;
  tray.Tray().Shell = shell.Seam();
  tray.Loaded();
  // The session may end: the system's default answer.
  EXPECT_EQ(tray.Tray().Send(platform::kWmQueryEndSession, 0, 0), 1);
#ifdef _WIN32
  constexpr unsigned kWmQueryOpen = 0x0013;  // the default handling answers TRUE
  EXPECT_EQ(tray.Tray().Send(kWmQueryOpen, 0, 0), 1);
#endif
}

}  // namespace
