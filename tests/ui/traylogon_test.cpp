// Started at logon, before the taskbar exists: the icon whose first add failed (the texts are trayicon_test's)
// stays wanted, and "TaskbarCreated" adds it unless it was hidden meanwhile. The shell is a seam here.
#include <gtest/gtest.h>

#include "platform/application.h"
#include "ui/trayicon.h"

namespace {

TEST(TrayAtLogon, AFailedFirstAddIsPendingUntilTheTaskbarIsCreated) {
  // The codes of the shell's calls before the taskbar exists (then they succeed); hidden meanwhile.
  const struct { std::vector<unsigned> codes; bool hidden; } rows[] = {
      {std::vector<unsigned>(13, platform::kErrorTimeout), false}, {{5}, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
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
    try {
      tray.Loaded();
    } catch (const ENotifyIconError&) {
    }
    EXPECT_TRUE(!tray.Tray().Shown() && tray.Tray().Wanted());
    if (row.hidden) tray.SetVisible(false);
    platform::BroadcastMessage(platform::RegisterMessage("TaskbarCreated"));
    platform::ProcessMessages();
    EXPECT_EQ(adds, row.hidden ? 0 : 1);
    EXPECT_EQ(tray.Tray().Shown() && tray.Tray().Registered(), !row.hidden);
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(tray.Tray().Send(platform::kWmQueryEndSession, 0, 0), 1);  // the icon's window lets the session end
  }
}

}  // namespace
