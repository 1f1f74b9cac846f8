// Publication of the page to the private FTP server CTest starts.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/form1.h"
#include "support/scripted_server.h"
#include "support/server_env.h"
#include "support/testing.h"

namespace fs = std::filesystem;

namespace {

using testing_support::FtpAccount;
using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::WriteAll;

class Publication : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(ftp.Load(why)) << why;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(ftp.Home, ec)) fs::remove_all(entry.path(), ec);
  }

  void Configure(const std::string& password, const std::string& target) {
    form.Settings.FtpHost = "127.0.0.1";
    form.Settings.FtpPort = ftp.Port;
    form.Settings.FtpUser = ftp.User;
    form.Settings.FtpPass = password;
    form.Settings.Target = target;
    form.NetFTP1->InactivityTimeout = 5000;
  }

  std::vector<std::string> RemoteFiles() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(ftp.Home)) names.push_back(entry.path().filename().string());
    return names;
  }

  FtpAccount ftp;
  ScopedTempDir dir;
  TForm1 form;
};

TEST_F(Publication, ThePageArrivesUnderTargetDotHtmlAndAgainOnTheNextMail) {
  Configure(ftp.Password, "Recent");
  WriteAll("item.html", "first\r\n");
  form.PublishPage();
  EXPECT_EQ(ReadAll(ftp.Home + "/Recent.html"), "first\r\n");
  EXPECT_EQ(form.Label1, "Transfer Complete!");
  EXPECT_FALSE(form.NetFTP1->IsOpen());
  WriteAll("item.html", "second\r\n");
  form.PublishPage();
  EXPECT_EQ(ReadAll(ftp.Home + "/Recent.html"), "second\r\n");
  EXPECT_EQ(RemoteFiles(), std::vector<std::string>{"Recent.html"});
}

TEST_F(Publication, AnEmptyTargetGivesDotHtml) {
  Configure(ftp.Password, "");
  WriteAll("item.html", "page");
  form.PublishPage();
  EXPECT_EQ(ReadAll(ftp.Home + "/.html"), "page");
}

TEST_F(Publication, AWrongPasswordChangesNothingAndSaysNothing) {
  Configure("wrong", "Recent");
  WriteAll("item.html", "page");
  EXPECT_NO_THROW(form.PublishPage());
  EXPECT_TRUE(RemoteFiles().empty());
  EXPECT_EQ(form.Label1, "LoggedIn");  // the control connection was open before the login failed
  EXPECT_FALSE(form.NetFTP1->IsOpen());
}

TEST_F(Publication, AMissingPageLeavesTheClientClosedForTheNextPublication) {
  Configure(ftp.Password, "Recent");
  form.PublishPage();  // no item.html here
  EXPECT_FALSE(form.NetFTP1->IsOpen());
  WriteAll("item.html", "later");
  form.PublishPage();
  EXPECT_EQ(ReadAll(ftp.Home + "/Recent.html"), "later");
}

TEST_F(Publication, NoHostConfiguredMeansNoConnection) {
  WriteAll("item.html", "page");
  form.PublishPage();  // the host is "NONE"
  EXPECT_EQ(form.Label1, "Label1");
  EXPECT_TRUE(RemoteFiles().empty());
}

TEST(PublicationEdges, ARefusedStoreClosesTheConnectionSoTheNextOneConnectsAfresh) {
  ScopedTempDir dir;
  WriteAll("item.html", "page");
  testing_support::ScriptedServer server;
  server.Send("220 hi\r\n").Expect("user u").Send("331 pass\r\n").Expect("pass p").Send("230 ok\r\n")
      .Expect("type I").Send("200 ok\r\n").Expect("syst").Send("215 UNIX\r\n")
      .Expect("PASV").Send("550 no data for you\r\n")
      .Expect("QUIT").Send("221 bye\r\n").HoldUntilClientCloses();
  server.Start();
  TForm1 form;
  form.Settings.FtpHost = "127.0.0.1";
  form.Settings.FtpPort = server.Port();
  form.Settings.FtpUser = "u";
  form.Settings.FtpPass = "p";
  form.NetFTP1->InactivityTimeout = 2000;
  form.PublishPage();
  server.Join();
  EXPECT_FALSE(form.NetFTP1->IsOpen());
  EXPECT_TRUE(server.Failures().empty());
}

}  // namespace
