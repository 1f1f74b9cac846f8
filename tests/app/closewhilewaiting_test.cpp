// Windows closed, and the program left, while a handler of theirs waits on the network and
// pumps messages: the connection tests, "UpLoad", and the additional-text window shown
// modally while a poll cycle runs inside its loop. Nothing is freed under a handler still
// on the stack (the AddressSanitizer build catches any use after free), no message is shown
// for an abandoned wait, and the program goes on.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/errorhandler.h"
#include "app/form1.h"
#include "base/sjisliteral.h"
#include "platform/application.h"
#include "support/scripted_server.h"
#include "support/testing.h"
#include "ui/dialogs.h"

namespace {

using testing_support::ScopedTempDir;
using testing_support::ScriptedServer;
using testing_support::WriteAll;

// Long enough for the client's wait to pump at least once (it pumps every 250 ms).
constexpr int kLateGreeting = 700;

std::vector<std::string> errorBoxes;
void RecordErrorBox(const std::string&, const std::string& text) { errorBoxes.push_back(text); }

struct Row {
  const char* name;
  // The servers' parts (null: not used): the greeting comes late, so that the wait pumps.
  std::function<void(ScriptedServer&)> pop3, ftp;
  // What the owner (or the system) does from a message pumped during the wait.
  std::function<void(TForm1&)> duringWait;
  // The owner's action that starts the wait; shown collects the connection test's message.
  std::function<void(TForm1&, std::vector<std::string>& shown)> start;
  std::vector<std::string> shown;
  bool programEnds;
  bool pollingGoesOn;
};

void LateLogin(ScriptedServer& pop3) {
  pop3.Pause(kLateGreeting).Send("+OK ready\r\n").Expect("USER shop").Send("+OK\r\n");
  pop3.Expect("PASS secret").Send("+OK\r\n");
}

void OpenSettings(TForm1& form, std::vector<std::string>& shown) {
  ShowSettingsDialog(form.Form2, form.Form2Host());
  form.Form2->ShowMessage = [&shown](const std::string& text) { shown.push_back(text); };
}

void TestMailbox(TForm1& form, std::vector<std::string>& shown) {
  OpenSettings(form, shown);
  form.Form2->Button10.Click();
}

void CloseSettings(TForm1& form) {
  ASSERT_TRUE(form.Form2);
  EXPECT_TRUE(form.Form2->Close());
  EXPECT_EQ(form.Form2, nullptr);  // the reference is cleared at once
}

// "追加テキスト" shown modally from "出力項目"; while it is up a poll-timer tick runs a cycle.
void AdditionalTextDuringACycle(TForm1& form, std::vector<std::string>&) {
  ShowOutputItemsDialog(form.Form3, form.Form3Host());
  TForm::ModalHook = [&form](TForm&) { RunGuarded([&] { form.Timer1Timer(&form.Timer1); }); };
  form.Form3->BitBtn5.Click();
  TForm::ModalHook = nullptr;
  EXPECT_EQ(form.Form4, nullptr);
}

class CloseWhileWaiting : public ::testing::TestWithParam<Row> {
 protected:
  void TearDown() override {
    SetErrorBox(nullptr);
    TForm::ModalHook = nullptr;
    platform::ReopenMessageLoop();
  }
  ScopedTempDir dir;
};

TEST_P(CloseWhileWaiting, NothingIsFreedUnderTheWaitingHandlerAndTheProgramGoesOn) {
  const Row& row = GetParam();
  ScriptedServer pop3, ftp;
  for (auto [server, script] : {std::pair{&pop3, row.pop3}, std::pair{&ftp, row.ftp}})
    if (script) {
      script(*server);
      server->Start();
    }
  WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nUser=shop\r\nPass=secret\r\nPort=" +
                               std::to_string(pop3.Port()) + "\r\n[FTP]\r\nHost=127.0.0.1\r\nUser=up\r\nPass=load\r\nPort=" +
                               std::to_string(ftp.Port()) + "\r\n[Mall]\r\nSearchHost=127.0.0.1:1\r\n");
  errorBoxes.clear();
  SetErrorBox(RecordErrorBox);
  SetUnhandledErrorHandler([](const std::exception& e) { HandleException(e); });
  TForm1 form;
  form.Form4 = std::make_unique<TForm4>(form.Settings, form.Form4);  // as at start-up
  std::vector<std::string> shown;
  platform::PostWork([&] { row.duringWait(form); });
  row.start(form, shown);
  for (auto [server, script] : {std::pair{&pop3, row.pop3}, std::pair{&ftp, row.ftp}})
    if (script) {
      server->Join();
      EXPECT_EQ(server->Failures(), std::vector<std::string>{}) << server->Received();
    }

  EXPECT_EQ(shown, row.shown);
  EXPECT_EQ(errorBoxes, std::vector<std::string>{});
  EXPECT_EQ(platform::Terminated(), row.programEnds);
  EXPECT_FALSE(form.Clients.Busy(TNetClientKind::Mailbox));
  EXPECT_FALSE(form.Clients.Busy(TNetClientKind::Ftp));
  EXPECT_FALSE(form.CycleRunning());
  // Back in the outermost loop the closed windows are freed; the program goes on.
  platform::ProcessMessages();
  EXPECT_EQ(form.Timer1.Running(), row.pollingGoesOn);
}

const std::string kConfirmed = Sjis("接続を確認しました");

INSTANTIATE_TEST_SUITE_P(
    Rows, CloseWhileWaiting,
    ::testing::Values(
        Row{"SettingsClosedDuringTheMailboxTest",
            [](ScriptedServer& pop3) {
              LateLogin(pop3);
              pop3.Expect("Quit").Send("+OK bye\r\n");
            },
            nullptr, CloseSettings, TestMailbox, {kConfirmed}, false, true},
        Row{"SettingsClosedDuringUpLoad",
            nullptr, [](ScriptedServer& ftp) { ftp.Pause(kLateGreeting).Send("421 too many users\r\n"); },
            CloseSettings,
            [](TForm1& form, std::vector<std::string>& shown) {
              OpenSettings(form, shown);
              form.Form2->Button4.Click();
            },
            {}, false, true},
        Row{"ExitDuringTheMailboxTest",
            [](ScriptedServer& pop3) { pop3.Pause(kLateGreeting).HoldUntilClientCloses(); }, nullptr,
            [](TForm1& form) { form.Exit1Click(&form); }, TestMailbox, {}, true, false},
        Row{"SessionEndDuringTheMailboxTest",
            [](ScriptedServer& pop3) { pop3.Pause(kLateGreeting).HoldUntilClientCloses(); }, nullptr,
            [](TForm1& form) { EXPECT_EQ(form.QueryEndSession(), 1); }, TestMailbox, {}, false, false},
        Row{"AdditionalTextClosedByOkUnderItsModalLoop",
            [](ScriptedServer& pop3) {
              LateLogin(pop3);
              pop3.Expect("STAT").Send("+OK 0 0\r\n").HoldUntilClientCloses();
            },
            nullptr,
            [](TForm1& form) {
              ASSERT_TRUE(form.Form4 && form.Form4->Modal());
              form.Form4->Button1.Click();
            },
            AdditionalTextDuringACycle, {}, false, true},
        Row{"AdditionalTextClosedByItsCloseBoxUnderItsModalLoop",
            [](ScriptedServer& pop3) {
              LateLogin(pop3);
              pop3.Expect("STAT").Send("+OK 0 0\r\n").HoldUntilClientCloses();
            },
            nullptr,
            [](TForm1& form) {
              ASSERT_TRUE(form.Form4 && form.Form4->Modal());
              form.Form4->Close();
            },
            AdditionalTextDuringACycle, {}, false, true}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
