// The poll cycle against the private dovecot instance CTest starts, and against scripted
// servers for what dovecot will not do.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/form1.h"
#include "base/sjisliteral.h"
#include "base/netexceptions.h"
#include "support/dovecot_mailbox.h"
#include "support/scripted_server.h"
#include "support/testing.h"

namespace {

using testing_support::DovecotMailbox;
using testing_support::ReadAll;
using testing_support::ScopedTempDir;

std::string OrderBody(const std::string& orderedAt, const std::string& itemCode) {
  return Sjis("■ ショップ名 ： 桜商店\r\n"
              "[日時]     " + orderedAt + "\r\n"
              "[注文者] 山田 太郎 様\r\n"
              "〒100-0001 東京都千代田区千代田1-1\r\n"
              "(TEL) 03-1234-5678\r\n"
              "[送付先] 山田 太郎 様\r\n"
              "[商品]\r\n"
              "桜のマグカップ (" + itemCode + ")\r\n"
              "価格  1,200(円) x 2(個) = 2,400(円)\r\n"
              "**********\r\n");
}

// The mall's lookups go to a closed loopback port: they fail quickly, and never leave the machine.
const std::string kNoMall =
    "[Mall]\r\nSearchHost=127.0.0.1:1\r\nThumbnailHost=127.0.0.1:1\r\nScriptHost=127.0.0.1:1\r\n";

std::string ShiftJisMail(const std::string& body) {
  return "From: order@example.com\r\nSubject: order\r\nMIME-Version: 1.0\r\n"
         "Content-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + body;
}

class PollCycle : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(box.Load(why)) << why;
    box.Clear();
    std::string ini = "[POP3]\r\nHost=127.0.0.1\r\nUser=" + box.User + "\r\nPass=" + box.Password +
                      "\r\nPort=" + std::to_string(box.Port) + "\r\n" + kNoMall;
    testing_support::WriteAll("Vendlume.ini", ini);
  }

  // Mails left in the maildir; the server finishes a session's deletions on its own time.
  size_t MailsLeft(size_t expected) {
    size_t n = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
      n = 0;
      for (auto dir : {"new", "cur"})
        for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(box.Maildir + "/" + dir)) ++n;
      if (n == expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return n;
  }

  ScopedTempDir dir;
  DovecotMailbox box;
};

TEST_F(PollCycle, OneMailIsTakenDeletedParsedSavedAndRendered) {
  box.Put(ShiftJisMail(OrderBody("2016-10-24 09:05:33", "mug-001")));
  TForm1 form;
  form.PollMailbox();
  EXPECT_EQ(MailsLeft(0), 0u);
  ASSERT_EQ(form.RecentOrders.size(), 1u);
  const std::string head = Sjis("10/24　09:05,桜のマグカップ　,mug-001,");
  EXPECT_EQ(EncodeOrderRow(form.RecentOrders[0]).substr(0, head.size()), head);
  EXPECT_EQ(form.ShopName, Sjis(" 桜商店"));
  EXPECT_EQ(ReadAll("itemsl.csv"), EncodeOrderRow(form.RecentOrders[0]) + "\r\n");
  EXPECT_NE(ReadAll("item.html").find("mug-001"), std::string::npos);
  EXPECT_EQ(form.Timer1.Interval(), 15000);
  EXPECT_TRUE(form.Timer1.Running());
}

TEST_F(PollCycle, ABacklogShortensTheIntervalUntilTheLastMail) {
  for (auto code : {"a-1", "b-2", "c-3"}) box.Put(ShiftJisMail(OrderBody("2016-10-24 09:05:33", code)));
  TForm1 form;
  std::vector<int> intervals;
  for (int i = 0; i < 4; ++i) {
    form.PollMailbox();
    intervals.push_back(form.Timer1.Interval());
  }
  EXPECT_EQ(intervals, (std::vector<int>{5000, 5000, 15000, 15000}));
  ASSERT_EQ(form.RecentOrders.size(), 3u);
  // Oldest mail first, newest row on top.
  EXPECT_EQ(form.RecentOrders[0].code, "c-3");
  EXPECT_EQ(form.RecentOrders[2].code, "a-1");
}

TEST_F(PollCycle, AMultipartOrderMailIsReadFromItsFirstTextSection) {
  box.Put("From: order@example.com\r\nSubject: order\r\nMIME-Version: 1.0\r\n"
          "Content-Type: multipart/mixed; boundary=\"XYZ\"\r\n\r\n"
          "This is a multi-part message in MIME format.\r\n"
          "--XYZ\r\nContent-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
          OrderBody("2016-10-24 09:05:33", "mug-001") +
          "--XYZ\r\nContent-Type: text/csv; name=\"order.csv\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
          "YSxiLGMNCg==\r\n--XYZ--\r\n");
  TForm1 form;
  form.PollMailbox();
  EXPECT_EQ(MailsLeft(0), 0u);
  EXPECT_EQ(form.RecentOrders.size(), 1u);
}

TEST_F(PollCycle, AWrongPasswordIsLoggedAndTheCycleEndsQuietly) {
  testing_support::WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nUser=" + box.User +
                                                "\r\nPass=wrong\r\nPort=" + std::to_string(box.Port) + "\r\n" + kNoMall);
  box.Put(ShiftJisMail(OrderBody("2016-10-24 09:05:33", "mug-001")));
  TForm1 form;
  form.HouseMachine = true;
  EXPECT_NO_THROW(form.PollMailbox());
  EXPECT_NE(ReadAll("Vendlume.log").find(" - ConnectionFailed\r\n"), std::string::npos);
  EXPECT_EQ(MailsLeft(1), 1u);
  EXPECT_EQ(form.Timer1.Interval(), 15000);
}

TEST(PollCycleEdges, NoMailboxConfiguredMeansNoConnection) {
  ScopedTempDir dir;
  TForm1 form;  // no settings file: the host is "NONE"
  form.HouseMachine = true;
  form.Timer1Timer(&form.Timer1);
  // Any attempt to reach host "NONE" would have failed and been logged.
  EXPECT_FALSE(testing_support::FileExists("Vendlume.log"));
  EXPECT_EQ(form.Timer1.Interval(), 15000);
  EXPECT_TRUE(form.Timer1.Running());
}

TEST(PollCycleEdges, AStalledServerFailsTheCycleButTheTimerRunsOn) {
  ScopedTempDir dir;
  testing_support::ScriptedServer server;
  server.Send("+OK ready\r\n").Expect("USER u").Send("+OK\r\n").Expect("PASS p").Send("+OK\r\n")
      .Expect("STAT").HoldUntilClientCloses();
  server.Start();
  testing_support::WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nUser=u\r\nPass=p\r\nPort=" +
                                                std::to_string(server.Port()) + "\r\n");
  TForm1 form;
  form.NetPOP31->InactivityTimeout = 300;
  try {
    form.PollMailbox();
    FAIL() << "no timeout";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.Code, 10060);
  }
  server.Join();
  EXPECT_EQ(form.Timer1.Interval(), 15000);
  EXPECT_TRUE(form.Timer1.Running());
}

}  // namespace
