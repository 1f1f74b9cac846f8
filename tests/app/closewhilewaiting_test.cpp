// Windows closed, and the program left, while a handler of theirs waits on the mailbox and pumps messages:
// nothing is freed under a handler still on the stack (the AddressSanitizer build catches a use after free),
// no message is shown for an abandoned wait, and the program goes on.
#include <gtest/gtest.h>

#include <sstream>

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
  // The settings window's mailbox test waits, or a poll-timer tick's cycle in the modal loop of the
  // additional-text window (shown from "出力項目").
  enum During { CloseSettings, Exit, CloseAdditionalText };
  const std::string login = "+OK ready\n>USER shop\n+OK\n>PASS secret\n+OK\n";
  // After a late greeting: lines sent, or expected after ">"; then held open.
  const struct { During during; std::string script; std::vector<std::string> shown; } rows[] = {
      {CloseSettings, login + ">Quit\n+OK bye", {Sjis("接続を確認しました")}},
      {Exit, "", {}}, {CloseAdditionalText, login + ">STAT\n+OK 0 0", {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.during);
    platform::ReopenMessageLoop();  // after a row where the program left
    testing_support::ScopedTempDir dir;
    testing_support::ScriptedServer server;
    std::istringstream script(row.script);
    server.Pause(700);  // the client's wait pumps every 250 ms
    for (std::string line; std::getline(script, line);)
      line[0] == '>' ? server.Expect(line.substr(1)) : server.Send(line + "\r\n");
    server.HoldUntilClientCloses().Start();
    testing_support::WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nUser=shop\r\nPass=secret\r\nPort=" +
                                                  std::to_string(server.Port()) + "\r\n[FTP]\r\nHost=NONE\r\n");
    shown.clear();
    SetErrorBox([](const std::string&, const std::string& text) { shown.push_back(text); });
    SetUnhandledErrorHandler([](const std::exception& e) { HandleException(e); });
    TForm1 form;
    form.Form4 = std::make_unique<TForm4>(form.Settings, form.Form4);  // as at start-up
    platform::PostWork([&] {
      if (row.during == CloseSettings) EXPECT_TRUE(form.Form2 && form.Form2->Close() && !form.Form2);  // at once
      if (row.during == Exit) form.Exit1Click(&form);
      if (row.during == CloseAdditionalText) EXPECT_TRUE(form.Form4 && form.Form4->Modal() && form.Form4->Close());
    });
    if (row.during == CloseAdditionalText) {
      ShowOutputItemsDialog(form.Form3, form.Form3Host());
      TForm::ModalHook = [&form](TForm&) { RunGuarded([&] { form.Timer1Timer(&form.Timer1); }); };
      form.Form3->BitBtn5.Click();
      TForm::ModalHook = nullptr;
      EXPECT_EQ(form.Form4, nullptr);
    } else {
      ShowSettingsDialog(form.Form2, form.Form2Host());
      form.Form2->ShowMessage = [](const std::string& text) { shown.push_back(text); };
      form.Form2->Button10.Click();
    }
    server.Join();
    EXPECT_EQ(server.Failures(), std::vector<std::string>{}) << server.Received();
    EXPECT_EQ(shown, row.shown);
    EXPECT_EQ(platform::Terminated(), row.during == Exit);
    EXPECT_FALSE(form.Clients.Busy(TNetClientKind::Mailbox) || form.CycleRunning());
    platform::ProcessMessages();  // back in the outermost loop the closed windows are freed
    EXPECT_EQ(form.Timer1.Running(), row.during != Exit);
  }
  SetErrorBox(nullptr);
}

}  // namespace
