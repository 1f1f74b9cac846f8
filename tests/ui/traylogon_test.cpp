// The tray icon of a program started at logon, before the taskbar exists: the first add fails, the
// icon stays wanted, and the shell's "TaskbarCreated" adds it unless it was hidden meanwhile. The
// shell is a seam here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/sjisliteral.h"
#include "platform/application.h"
#include "ui/trayicon.h"

namespace {

TEST(TrayAtLogon, AFailedFirstAddIsPendingUntilTheTaskbarIsCreated) {
  const std::string addText = Sjis("タスクトレイにアイコンを登録できません。");
  const std::string modifyText = Sjis("タスクトレイのアイコンを変更できません。");
  const struct {
    const char* name;
    std::vector<unsigned> codes;  // of the shell's calls before the taskbar exists; then they succeed
    std::string error;            // what the first add reports; empty: nothing
    bool hidden;                  // the icon is hidden before the taskbar comes
  } rows[] = {
      {"no error code", {0}, "", false},
      {"the shell's time-out on every retry", std::vector<unsigned>(13, platform::kErrorTimeout), modifyText, false},
      {"another code", {5}, addText + "\r\n" + platform::SystemMessageText(5), false},
      {"hidden before the taskbar comes", {0}, "", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    size_t calls = 0;
    int adds = 0, restarts = 0;
    TTrayIcon tray;
    tray.Tray().Shell = [&](int command, const platform::NotifyIconRecord&) {
      const bool fails = calls < row.codes.size();
      platform::SetLastErrorCode(fails ? row.codes[calls++] : 0);
      adds += !fails && command == platform::kNotifyAdd;
      return !fails;
    };
    tray.Tray().RetryWait = 1;
    tray.OnRestartTaskbar = [&](TObject*) { ++restarts; };
    std::string error;
    try {
      tray.Loaded();
    } catch (const ENotifyIconError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(calls, row.codes.size());  // every retry was made, and no more
    EXPECT_FALSE(tray.Tray().Shown());
    EXPECT_TRUE(tray.Tray().Wanted());
    if (row.hidden) tray.SetVisible(false);
    platform::BroadcastMessage(platform::RegisterMessage("TaskbarCreated"));
    platform::ProcessMessages();
    EXPECT_EQ(adds, row.hidden ? 0 : 1);
    EXPECT_EQ(tray.Tray().Shown() && tray.Tray().Registered(), !row.hidden);
    EXPECT_EQ(restarts, 1);
    // The icon's window leaves other messages to the system: the session may end.
    EXPECT_EQ(tray.Tray().Send(platform::kWmQueryEndSession, 0, 0), 1);
  }
}

}  // namespace
