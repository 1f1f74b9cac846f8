// A publication that fails leaves the page stale: the next poll cycles publish it again,
// with or without mail, until it is on the server; a start finds the mark of a page an
// earlier run could not publish; a publication waiting for the FTP client is never queued
// twice. Against the private vsftpd; the mailbox is a closed port, so no cycle has mail.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/form1.h"
#include "platform/application.h"
#include "support/server_env.h"
#include "support/testing.h"

namespace fs = std::filesystem;

namespace {

using testing_support::FileExists;
using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::WriteAll;

constexpr int kClosedPort = 1;
constexpr char kTarget[] = "Retried";

class PublicationRetry : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(ftp.Load(why)) << why;
    remote = ftp.Home + "/" + kTarget + ".html";
    std::error_code ec;
    fs::remove(remote, ec);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove(remote, ec);
  }

  // A controller whose cycles find no mailbox and whose FTP logins are counted.
  std::unique_ptr<TForm1> NewForm() {
    if (!FileExists("Vendlume.ini")) WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nPort=1\r\n");
    auto form = std::make_unique<TForm1>();
    TSettings& s = form->Settings;
    s.Pop3Host = "127.0.0.1";
    s.Pop3Port = kClosedPort;
    s.Pop3User = "u";
    s.Pop3Pass = "p";
    s.FtpHost = "127.0.0.1";
    s.FtpPort = ftp.Port;
    s.FtpUser = ftp.User;
    s.FtpPass = ftp.Password;
    s.Target = kTarget;
    form->NetFTP1->InactivityTimeout = 5000;
    auto connected = form->NetFTP1->OnConnected;
    form->NetFTP1->OnConnected = [this, connected](TNetComponent* sender) {
      ++connections;
      connected(sender);
    };
    return form;
  }

  testing_support::FtpAccount ftp;
  std::string remote;
  int connections = 0;
};

struct Breakage {
  const char* name;
  std::function<void(TSettings&)> apply;
  int connectionsPerTry;  // control connections a failed try opens
};

const Breakage kBreakages[] = {
    {"server down", [](TSettings& s) { s.FtpPort = kClosedPort; }, 0},
    {"login refused", [](TSettings& s) { s.FtpPass = "wrong"; }, 1},
    {"store refused", [](TSettings& s) { s.Target = std::string("no-such-folder/") + kTarget; }, 1},
};

TEST_F(PublicationRetry, EachCycleTriesOnceUntilThePageIsOnTheServerThenStops) {
  for (const Breakage& breakage : kBreakages) {
    SCOPED_TRACE(breakage.name);
    ScopedTempDir dir;
    connections = 0;
    auto form = NewForm();
    const TSettings good = form->Settings;
    breakage.apply(form->Settings);
    WriteAll("item.html", "page\r\n");

    form->PublishPage();  // as after a mail
    EXPECT_TRUE(form->PageStale());
    EXPECT_TRUE(FileExists("item.unpublished"));
    form->PollMailbox();
    form->PollMailbox();
    EXPECT_TRUE(form->PageStale());
    EXPECT_EQ(connections, 3 * breakage.connectionsPerTry);
    EXPECT_FALSE(FileExists(remote));

    form->Settings = good;
    form->PollMailbox();
    EXPECT_EQ(ReadAll(remote), "page\r\n");
    EXPECT_FALSE(form->PageStale());
    EXPECT_FALSE(FileExists("item.unpublished"));

    fs::remove(remote);
    const int before = connections;
    form->PollMailbox();
    EXPECT_EQ(connections, before);
    EXPECT_FALSE(FileExists(remote));
    EXPECT_EQ(form->Timer1.Interval(), 15000);
  }
}

TEST_F(PublicationRetry, WhileTheFtpClientIsTakenOnePublicationWaitsHoweverManyAsk) {
  ScopedTempDir dir;
  auto form = NewForm();
  WriteAll("item.html", "old\r\n");
  form->Settings.FtpPort = kClosedPort;
  form->PublishPage();
  ASSERT_TRUE(form->PageStale());
  form->Settings.FtpPort = ftp.Port;
  {
    auto test = form->Clients.TryTake(TNetClientKind::Ftp);
    form->PollMailbox();
    form->PollMailbox();
    form->PublishPage();  // "UpLoad" in the settings dialog
    form->PollMailbox();
    WriteAll("item.html", "new\r\n");
    EXPECT_EQ(connections, 0);
  }
  for (int i = 0; i < 5; ++i) platform::ProcessMessages();
  EXPECT_EQ(connections, 1);
  EXPECT_EQ(ReadAll(remote), "new\r\n");  // the page as it was when the client came free
  EXPECT_FALSE(form->PageStale());
}

TEST_F(PublicationRetry, AStartAfterAFailedPublicationPublishesWithTheFirstCycle) {
  ScopedTempDir dir;
  {
    auto form = NewForm();
    form->Settings.FtpPort = kClosedPort;
    form->PublishPage();  // item.html is the page rendered at start-up
    ASSERT_TRUE(form->PageStale());
  }
  auto form = NewForm();
  EXPECT_TRUE(form->PageStale());
  form->PollMailbox();
  ASSERT_TRUE(FileExists(remote));
  EXPECT_EQ(ReadAll(remote), ReadAll("item.html"));
  EXPECT_FALSE(FileExists("item.unpublished"));
  form.reset();

  // Without the mark a start publishes nothing.
  fs::remove(remote);
  form = NewForm();
  EXPECT_FALSE(form->PageStale());
  form->PollMailbox();
  EXPECT_FALSE(FileExists(remote));
}

}  // namespace
