// The controller keeps its clients apart: a poll tick while a connection test holds the
// mailbox client leaves its turn out, and a publication while the FTP client is taken
// follows once it is free. Against the private dovecot and vsftpd.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/form1.h"
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

TEST_F(ClientUse, APollTickLeavesItsTurnOutWhileATestHoldsTheMailbox) {
  box.Put("Subject: x\r\n\r\nnot an order\r\n");
  {
    auto test = form.Clients.TryTake(TNetClientKind::Mailbox);
    form.NetPOP31->Host = "127.0.0.1";
    form.NetPOP31->Port = box.Port;
    form.NetPOP31->UserId = box.User;
    form.NetPOP31->Password = box.Password;
    form.NetPOP31->OpenConnection();
    form.Timer1Timer(nullptr);
    EXPECT_TRUE(form.NetPOP31->IsOpen());  // the test's connection, undisturbed
    EXPECT_EQ(form.NetPOP31->CountMessages(), 1);
    form.NetPOP31->CloseConnection();
  }
  EXPECT_EQ(MailsLeft(1), 1u);
  form.Timer1Timer(nullptr);
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
