// The controller keeps its clients apart: a poll tick while a connection test holds the
// mailbox client leaves its turn out, and a publication while the FTP client is taken
// follows once it is free. Against the private dovecot and vsftpd.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/form1.h"
#include "base/sjisliteral.h"
#include "intake/itemlookup.h"
#include "net/accounts.h"
#include "support/dovecot_mailbox.h"
#include "support/server_env.h"
#include "support/testing.h"

namespace fs = std::filesystem;

namespace {

class ClientUse : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(box.Load(why)) << why;
    ASSERT_TRUE(ftp.Load(why)) << why;
    box.Clear();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(ftp.Home, ec)) fs::remove_all(e.path(), ec);
    form.Settings.Pop3Host = "127.0.0.1";
    form.Settings.Pop3Port = box.Port;
    form.Settings.Pop3User = box.User;
    form.Settings.Pop3Pass = box.Password;
    form.Settings.FtpHost = "127.0.0.1";
    form.Settings.FtpPort = ftp.Port;
    form.Settings.FtpUser = ftp.User;
    form.Settings.FtpPass = ftp.Password;
    form.NetPOP31->InactivityTimeout = 5000;
    form.NetFTP1->InactivityTimeout = 5000;
  }
  // What a connection test does with the mailbox client it holds.
  void OpenTestConnection() {
    ApplyMailboxAccount(*form.NetPOP31, form.Settings);
    form.NetPOP31->OpenConnection();
  }
  size_t MailsLeft(size_t expected) {
    size_t n = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
      n = 0;
      for (auto d : {"new", "cur"})
        for ([[maybe_unused]] auto& e : fs::directory_iterator(box.Maildir + "/" + d)) ++n;
      if (n == expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return n;
  }

  testing_support::ScopedTempDir dir;
  testing_support::DovecotMailbox box;
  testing_support::FtpAccount ftp;
  TForm1 form;
};

// Not only the timer polls: a direct call of PollMailbox takes the client as well, so a
// connection test that holds it is left alone and the timer keeps its countdown.
TEST_F(ClientUse, EveryRouteToAPollLeavesItsTurnOutWhileATestHoldsTheMailbox) {
  struct Route {
    const char* what;
    std::function<void()> poll;
  } routes[] = {{"timer tick", [&] { form.Timer1Timer(nullptr); }}, {"direct call", [&] { form.PollMailbox(); }}};
  for (const auto& route : routes) {
    SCOPED_TRACE(route.what);
    box.Clear();
    box.Put("Subject: x\r\n\r\nnot an order\r\n");
    form.Timer1.SetInterval(12345);
    {
      auto test = form.Clients.TryTake(TNetClientKind::Mailbox);
      OpenTestConnection();
      route.poll();
      EXPECT_FALSE(form.CycleRunning());
      EXPECT_EQ(form.Timer1.Interval(), 12345);
      ASSERT_TRUE(form.NetPOP31->IsOpen());  // the test's connection, undisturbed
      EXPECT_EQ(form.NetPOP31->CountMessages(), 1);
      form.NetPOP31->CloseConnection();
    }
    EXPECT_EQ(MailsLeft(1), 1u);
    route.poll();
    EXPECT_EQ(MailsLeft(0), 0u);
    EXPECT_EQ(form.Timer1.Interval(), 15000);
    EXPECT_FALSE(form.Clients.Busy(TNetClientKind::Mailbox));
  }
}

// A lookup that, while the cycle waits on the mall, lets another poll be asked for (as a
// message pumped during the wait could) and notes what it found.
class PollingLookup : public TNoProductLookup {
 public:
  explicit PollingLookup(TForm1& form) : form_(form) {}
  TLookupResult LookupByCode(const std::string&) override {
    clientTaken = form_.Clients.Busy(TNetClientKind::Mailbox);
    if (nested++ == 0) form_.PollMailbox();
    connectionKept = form_.NetPOP31->IsOpen();
    return {TLookupResult::kFound, ""};
  }
  bool clientTaken = false, connectionKept = false;
  int nested = 0;

 private:
  TForm1& form_;
};

TEST_F(ClientUse, APollAskedForDuringACycleDoesNotTouchTheCyclesConnection) {
  box.Put("From: order@example.com\r\nSubject: order\r\nMIME-Version: 1.0\r\n"
          "Content-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
          Sjis("■ ショップ名 ： 桜商店\r\n"
               "[日時]     2016-10-24 09:05:33\r\n"
               "[注文者] 山田 太郎 様\r\n"
               "〒100-0001 東京都千代田区千代田1-1\r\n"
               "(TEL) 03-1234-5678\r\n"
               "[送付先] 山田 太郎 様\r\n"
               "[商品]\r\n"
               "桜のマグカップ (mug-001)\r\n"
               "価格  1,200(円) x 2(個) = 2,400(円)\r\n"
               "**********\r\n"));
  auto* lookup = new PollingLookup(form);
  form.Lookup.reset(lookup);
  form.PollMailbox();
  EXPECT_EQ(lookup->nested, 1);  // one item: the nested poll did not run a cycle of its own
  EXPECT_TRUE(lookup->clientTaken);
  EXPECT_TRUE(lookup->connectionKept);
  EXPECT_EQ(form.RecentOrders.size(), 1u);
  EXPECT_EQ(MailsLeft(0), 0u);
  EXPECT_FALSE(form.Clients.Busy(TNetClientKind::Mailbox));
}

TEST_F(ClientUse, APublicationWhileTheFtpClientIsTakenFollowsWhenItIsFree) {
  testing_support::WriteAll("item.html", "page\r\n");
  {
    auto test = form.Clients.TryTake(TNetClientKind::Ftp);
    form.PublishPage();
    EXPECT_TRUE(fs::is_empty(ftp.Home));
  }
  EXPECT_TRUE(fs::is_empty(ftp.Home));
  platform::ProcessMessages();
  EXPECT_EQ(testing_support::ReadAll(ftp.Home + "/Recent.html"), "page\r\n");
}

}  // namespace
