// The settings window closed, or the program left, while the window's mailbox test waits and pumps messages:
// nothing is freed under the handler still on the stack (the AddressSanitizer build catches a use after free),
// no message is shown for an abandoned wait, and the program goes on.
#include <gtest/gtest.h>

#include "app/errorhandler.h"
#include "app/form1.h"
#include "base/sjisliteral.h"
#include "platform/application.h"
#include "support/scripted_server.h"
#include "support/testing.h"
#include "ui/dialogs.h"

namespace {

std::vector<std::string> shown;  // by the settings window or in an error box

TEST(CloseWhileWaiting, NothingIsFreedUnderTheWaitingHandlerAndTheProgramGoesOn) {
  for (const bool exit : {true, false}) {
    SCOPED_TRACE(exit);
    platform::ReopenMessageLoop();  // after the row where the program left (and for the tests after)
    testing_support::ScopedTempDir dir;
    testing_support::ScriptedServer server;
    server.Pause(700);  // a late greeting: the client's wait pumps every 250 ms
    if (!exit) {
      server.Send("+OK ready\r\n").Expect("USER shop").Send("+OK\r\n").Expect("PASS secret").Send("+OK\r\n");
      server.Expect("Quit").Send("+OK bye\r\n");
    }
    server.HoldUntilClientCloses().Start();
    testing_support::WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nUser=shop\r\nPass=secret\r\nPort=" +
                                                  std::to_string(server.Port()) + "\r\n[FTP]\r\nHost=NONE\r\n");
    shown.clear();
    SetErrorBox([](const std::string&, const std::string& text) { shown.push_back(text); });
    TForm1 form;
    platform::PostWork([&] {
      if (exit) return form.Exit1Click(&form);
      EXPECT_TRUE(form.Form2 && form.Form2->Close() && !form.Form2);  // at once
    });
    ShowSettingsDialog(form.Form2, form.Form2Host());
    form.Form2->ShowMessage = [](const std::string& text) { shown.push_back(text); };
    form.Form2->Button10.Click();
    server.Join();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{}) << server.Received();
    EXPECT_EQ(shown, exit ? std::vector<std::string>{} : std::vector<std::string>{Sjis("接続を確認しました")});
    EXPECT_EQ(platform::Terminated(), exit);
    EXPECT_FALSE(form.Clients.Busy(TNetClientKind::Mailbox) || form.CycleRunning());
    platform::ProcessMessages();  // back in the outermost loop the closed window is freed
    EXPECT_EQ(form.Timer1.Running(), !exit);
  }
  SetErrorBox(nullptr);
}

}  // namespace
