// Leaving the program while a poll cycle waits on the network, and the error boxes of
// failing cycles: the order history survives and boxes never pile up inside each other.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/errorhandler.h"
#include "app/form1.h"
#include "base/sjisliteral.h"
#include "platform/application.h"
#include "support/scripted_server.h"
#include "support/testing.h"

namespace {

using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::ScriptedServer;
using testing_support::WriteAll;

std::string OrderMail() {
  return "From: order@example.com\r\nSubject: order\r\nMIME-Version: 1.0\r\n"
         "Content-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
         Sjis("■ ショップ名 ： 桜商店\r\n[日時]     2016-10-24 09:05:33\r\n[注文者] 山田 太郎 様\r\n"
              "〒100-0001 東京都千代田区千代田1-1\r\n[送付先] 山田 太郎 様\r\n[商品]\r\n"
              "桜のマグカップ (mug-001)\r\n価格  1,200(円) x 2(個) = 2,400(円)\r\n**********\r\n");
}

std::string Ini(int pop3Port, const std::string& mall) {
  return "[POP3]\r\nHost=127.0.0.1\r\nUser=shop\r\nPass=secret\r\nPort=" + std::to_string(pop3Port) +
         "\r\n[Mall]\r\nSearchHost=" + mall + "\r\nThumbnailHost=" + mall + "\r\nScriptHost=" + mall + "\r\n";
}

void LoginAndCount(ScriptedServer& pop3, const std::string& statReply) {
  pop3.Send("+OK ready\r\n").Expect("USER shop").Send("+OK\r\n").Expect("PASS secret").Send("+OK\r\n");
  pop3.Expect("STAT").Send(statReply);
}

class Quit : public ::testing::Test {
 protected:
  void TearDown() override { platform::ReopenMessageLoop(); }
  ScopedTempDir dir;
};

TEST_F(Quit, ExitWhileALookupWaitsKeepsEveryRowAndLeavesTheMailOnTheServer) {
  const std::string row = Sjis("10/23　08:00,古い品　,old-1,\"X\",大阪府,500,1,\"-\"");
  WriteAll("itemsl.csv", row + "\r\n" + row + "\r\n");
  ScriptedServer mall;  // the search page never comes
  mall.HoldUntilClientCloses();
  mall.Start();
  ScriptedServer pop3;
  LoginAndCount(pop3, "+OK 1 400\r\n");
  std::string mail = OrderMail();
  pop3.Expect("RETR 1").Send("+OK\r\n" + mail + ".\r\n");
  pop3.HoldUntilClientCloses();
  pop3.Start();
  WriteAll("Vendlume.ini", Ini(pop3.Port(), "127.0.0.1:" + std::to_string(mall.Port())));

  TForm1 form;
  const std::string pageBefore = ReadAll("item.html");
  // The owner chooses exit from the tray while the cycle waits: the menu runs inside the
  // idle pump.
  platform::PostWork([&] { form.Exit1Click(&form); });
  RunGuarded([&] { form.Timer1Timer(&form.Timer1); });
  pop3.Join();
  mall.Join();

  EXPECT_TRUE(form.Closing());
  EXPECT_TRUE(platform::Terminated());
  EXPECT_FALSE(form.CycleRunning());
  EXPECT_FALSE(form.Timer1.Running());
  EXPECT_EQ(ReadAll("itemsl.csv"), row + "\r\n" + row + "\r\n");
  EXPECT_EQ(ReadAll("item.html"), pageBefore);
  // No deletion and no "Quit": the next start takes the mail again.
  EXPECT_EQ(pop3.Received().find("Quit"), std::string::npos) << pop3.Received();
  EXPECT_EQ(pop3.Received().find("DELE"), std::string::npos) << pop3.Received();
  // After the loop the program closes the form; the list is released only now.
  EXPECT_TRUE(form.FormCloseQuery());
  EXPECT_TRUE(form.RecentOrders.empty());
}

TEST_F(Quit, ExitBetweenCyclesEndsTheLoopAndStartsNoMoreCycles) {
  WriteAll("Vendlume.ini", Ini(1, "127.0.0.1:1"));
  TForm1 form;
  form.Exit1Click(&form);
  EXPECT_TRUE(platform::Terminated());
  EXPECT_FALSE(form.Timer1.Running());
  form.Timer1Timer(&form.Timer1);  // a tick already queued does nothing
  EXPECT_FALSE(form.CycleRunning());
  EXPECT_FALSE(testing_support::FileExists("Vendlume.log"));
}

// A message box runs a message loop of its own; this stand-in does the same for a while.
std::vector<std::string> shownTexts;
int boxDepth = 0, maxBoxDepth = 0;
bool cycleRanWhileBoxOpen = false;
TTimer* pollTimer = nullptr;

void ModalBoxStandIn(const std::string&, const std::string& text) {
  shownTexts.push_back(text);
  maxBoxDepth = std::max(maxBoxDepth, ++boxDepth);
  if (shownTexts.size() == 1) {
    if (pollTimer) pollTimer->SetInterval(10);  // ticks come due while the box is open
    HandleException(std::runtime_error("second failure"));
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < until) {
      platform::ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // A cycle started by one of those ticks would have failed to connect and logged it.
    cycleRanWhileBoxOpen = testing_support::FileExists("Vendlume.log");
  }
  --boxDepth;
}

TEST(ErrorBoxes, NoCycleStartsWhileTheBoxOfAFailedCycleIsOpenAndBoxesNeverNest) {
  ScopedTempDir dir;
  ScriptedServer pop3;
  LoginAndCount(pop3, "-ERR mailbox locked\r\n");
  pop3.Start();
  WriteAll("Vendlume.ini", Ini(pop3.Port(), "127.0.0.1:1"));
  TForm1 form;
  form.HouseMachine = true;  // every cycle that starts leaves a line in the log
  form.NetPOP31->InactivityTimeout = 500;  // a cycle started by mistake fails instead of waiting
  shownTexts.clear();
  pollTimer = &form.Timer1;
  SetErrorBox(ModalBoxStandIn);
  form.Timer1.SetInterval(1);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (shownTexts.empty() && std::chrono::steady_clock::now() < until) platform::ProcessMessages();
  SetErrorBox(nullptr);
  pollTimer = nullptr;
  form.Timer1.SetEnabled(false);
  pop3.Join();

  ASSERT_EQ(shownTexts.size(), 2u);
  EXPECT_EQ(shownTexts[0], "-ERR mailbox locked.");
  EXPECT_EQ(shownTexts[1], "second failure.");  // shown after the first box, not inside it
  EXPECT_EQ(maxBoxDepth, 1);
  EXPECT_FALSE(cycleRanWhileBoxOpen);
  EXPECT_FALSE(ErrorBoxOpen());
}

}  // namespace
