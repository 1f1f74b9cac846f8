// The settings dialog, headless, against the controller's settings and the private dovecot
// and vsftpd that CTest starts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "app/settings.h"
#include "dialog_support.h"
#include "publish/publication.h"
#include "support/dovecot_mailbox.h"
#include "support/server_env.h"
#include "support/testing.h"
#include "ui/dialogs.h"

namespace fs = std::filesystem;
using dialog_test::ErrorLog;
using dialog_test::NotAnInteger;
using testing_support::ReadAll;
using testing_support::WriteAll;

namespace {

const std::string kConfirmed = Sjis("接続を確認しました");
const std::string kFailed = Sjis("接続エラー！ 設定を見直して下さい！");

class Form2Test : public ::testing::Test {
 protected:
  Form2Test() {
    pop3.InactivityTimeout = 5000;
    ftp.InactivityTimeout = 5000;
    ftp.Passive = true;
  }
  ~Form2Test() override {
    form.reset();
    dialog_test::RunMessageLoopOnce();
  }

  TForm2Host Host() {
    return TForm2Host{settings, pop3, ftp, clients, [this] { SaveSettings(settings, iniPath()); },
                      [this] {
                        clients.UseWhenFree(TNetClientKind::Ftp, [this] {
                          PublishPageFile(ftp, settings, dir.path() + "/item.html", [](const char*) {});
                        });
                      }};
  }
  TForm2& Open() {
    ShowSettingsDialog(form, Host());
    form->ShowMessage = [this](const std::string& text) {
      shown.push_back(text);
      if (duringMessage) duringMessage();
    };
    return *form;
  }
  std::string iniPath() const { return dir.path() + "/Vendlume.ini"; }

  testing_support::ScopedTempDir dir;
  ErrorLog errors;
  TSettings settings;
  TNetPOP3 pop3;
  TNetFTP ftp;
  TClientUse clients;
  std::unique_ptr<TForm2> form;
  std::vector<std::string> shown;
  std::function<void()> duringMessage;
};

TEST_F(Form2Test, FillsFromTheSettingsAndAppliesEachGroupOnlyOnItsButton) {
  settings.Pop3Host = "mail.example";
  settings.Pop3Port = 995;
  settings.FtpPass = "secret";
  settings.Target = "Shop";
  TForm2& f = Open();
  EXPECT_EQ(f.Edit1.Text(), "mail.example");
  EXPECT_EQ(f.Edit4.Text(), "995");
  EXPECT_EQ(f.Edit5.Text(), "secret");
  EXPECT_EQ(f.Edit8.Text(), "16910");
  EXPECT_EQ(f.Edit9.Text(), "Shop");

  f.Edit1.SetText("new.example");
  f.Edit6.SetText("ftp.example");
  EXPECT_EQ(settings.Pop3Host, "mail.example");
  f.Button2.Click();
  EXPECT_EQ(settings.FtpHost, "ftp.example");
  EXPECT_EQ(settings.Pop3Host, "mail.example");
  f.Button1.Click();
  EXPECT_EQ(settings.Pop3Host, "new.example");
  EXPECT_TRUE(errors.messages.empty());

  // The same dialog comes forward again, not filled anew.
  f.Edit2.SetText("typed");
  ShowSettingsDialog(form, Host());
  EXPECT_EQ(&f, form.get());
  EXPECT_EQ(f.Edit2.Text(), "typed");
}

TEST_F(Form2Test, APortThatIsNoWholeNumberStopsAtThePortWithTheEarlierFieldsApplied) {
  struct Case {
    std::string port;
    bool ok;
    int value;
  } cases[] = {{"  110", true, 110}, {"110 ", false, 0}, {"$6E", true, 110}, {"", false, 0},
               {"abc", false, 0},    {"2147483648", false, 0}, {"-1", true, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port);
    settings = TSettings{};
    errors.messages.clear();
    TForm2& f = Open();
    f.Edit1.SetText("h1");
    f.Edit3.SetText("p1");
    f.Edit4.SetText(c.port);
    f.Edit7.SetText("u2");
    f.Edit8.SetText(c.port);
    f.Button1.Click();
    f.Button2.Click();
    EXPECT_EQ(settings.Pop3Host, "h1");
    EXPECT_EQ(settings.Pop3Pass, "p1");
    EXPECT_EQ(settings.FtpUser, "u2");
    EXPECT_EQ(settings.Pop3Port, c.ok ? c.value : 110);
    EXPECT_EQ(settings.FtpPort, c.ok ? c.value : 16910);
    if (c.ok)
      EXPECT_TRUE(errors.messages.empty());
    else
      EXPECT_EQ(errors.messages, (std::vector<std::string>{NotAnInteger(c.port), NotAnInteger(c.port)}));
    EXPECT_TRUE(f.Visible());
  }
}

TEST_F(Form2Test, ClosingSavesWhatIsAppliedAndTargetAsTypedAndKeepsValuesWithLineBreaksAndEquals) {
  TForm2& f = Open();
  f.Edit1.SetText("not applied");
  f.Edit9.SetText("");
  f.Edit9.Type("Top=1");
  EXPECT_EQ(settings.Target, "Top=1");
  f.Edit6.SetText("ftp=host");
  f.Edit5.SetText("pa=ss\r\nword;x");
  f.Button2.Click();
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(form, nullptr);

  TSettings read;
  LoadSettings(read, iniPath());
  EXPECT_EQ(read.Pop3Host, "NONE");
  EXPECT_EQ(read.Target, "Top=1");
  EXPECT_EQ(read.FtpHost, "ftp=host");
  EXPECT_EQ(read.FtpPass, "pa=ss\r\nword;x");
  // The line break cannot have opened a line of its own: every other key reads back too.
  EXPECT_EQ(read.FtpPort, 16910);
  EXPECT_EQ(read.Font, "$00FFFFFF");
  std::string file = ReadAll(iniPath());
  EXPECT_EQ(file.find("\r\nword"), std::string::npos) << file;
}

TEST_F(Form2Test, AFailedSaveKeepsTheDialogOpenWithEverythingTyped) {
  TForm2& f = Open();
  f.Edit9.SetText("Kept");
  fs::create_directory(iniPath());  // the settings file cannot be written
  EXPECT_FALSE(f.Close());
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(f.Visible());
  EXPECT_EQ(f.Edit9.Text(), "Kept");
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.messages[0], iniPath() + Sjis(" に書き込めません"));
  fs::remove(iniPath());
  EXPECT_TRUE(f.Close());
}

class Form2Servers : public Form2Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(box.Load(why)) << why;
    ASSERT_TRUE(account.Load(why)) << why;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(account.Home, ec)) fs::remove_all(e.path(), ec);
  }
  // A port on the loopback where nothing listens.
  static int ClosedPort() {
    return 1;
  }
  testing_support::DovecotMailbox box;
  testing_support::FtpAccount account;
};

TEST_F(Form2Servers, ConnectionTestsUseTheAppliedAccountAndLeaveNoConnectionOpen) {
  struct Case {
    const char* what;
    std::string host;
    bool rightPort;
    bool rightPassword;
    std::string message;
  } cases[] = {
      {"good", "127.0.0.1", true, true, kConfirmed},
      {"wrong password", "127.0.0.1", true, false, kFailed},
      {"nobody listening", "127.0.0.1", false, true, kFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    shown.clear();
    settings.Pop3Host = settings.FtpHost = c.host;
    settings.Pop3Port = c.rightPort ? box.Port : ClosedPort();
    settings.FtpPort = c.rightPort ? account.Port : ClosedPort();
    settings.Pop3User = box.User;
    settings.FtpUser = account.User;
    settings.Pop3Pass = c.rightPassword ? box.Password : "wrong";
    settings.FtpPass = c.rightPassword ? account.Password : "wrong";
    TForm2& f = Open();
    f.Edit1.SetText("typed.but.not.applied");  // the test uses the applied values
    f.Edit6.SetText("typed.but.not.applied");
    std::vector<bool> openDuringMessage;
    duringMessage = [&] { openDuringMessage.push_back(pop3.IsOpen() || ftp.IsOpen()); };
    f.Button10.Click();
    f.Button3.Click();
    EXPECT_EQ(shown, (std::vector<std::string>{c.message, c.message}));
    bool good = c.message == kConfirmed;
    EXPECT_EQ(openDuringMessage, (std::vector<bool>{good, good}));
    EXPECT_FALSE(pop3.IsOpen());
    EXPECT_FALSE(ftp.IsOpen());
    EXPECT_TRUE(errors.messages.empty());
    ASSERT_TRUE(f.Close());
  }
}

TEST_F(Form2Test, ACertificateTheClientRefusesHasItsOwnMessageAndAMatchingPinIsConfirmed) {
  std::map<std::string, std::string> env;
  std::string why;
  ASSERT_TRUE(testing_support::ReadServerEnv("dovecot-tls/pop3.env", env, why)) << why;
  struct Case {
    const char* what;
    std::string pin;
    bool confirmed;
  } cases[] = {
      {"pinned certificate", env["SHA256_SERVER"], true},
      {"another certificate pinned", env["SHA256_EXPIRED"], false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    shown.clear();
    settings.Pop3Host = "localhost";
    settings.Pop3Port = std::atoi(env["TLS_PORT"].c_str());
    settings.Pop3User = env["USER"];
    settings.Pop3Pass = env["PASSWORD"];
    settings.Pop3Tls = tlsImplicit;
    settings.Pop3Fingerprint = c.pin;
    TForm2& f = Open();
    f.Button10.Click();
    ASSERT_EQ(shown.size(), 1u);
    if (c.confirmed) {
      EXPECT_EQ(shown[0], kConfirmed);
    } else {
      EXPECT_EQ(shown[0].rfind(Sjis("サーバーの証明書を確認できません。"), 0), 0u) << shown[0];
      EXPECT_NE(shown[0].find("fingerprint"), std::string::npos) << shown[0];
    }
    EXPECT_FALSE(pop3.IsOpen());
    ASSERT_TRUE(f.Close());
  }
}

TEST_F(Form2Servers, UpLoadPublishesThePageAsItStandsAndNothingWithoutAnFtpHost) {
  WriteAll(dir.path() + "/item.html", "<p>page</p>\r\n");
  TForm2& f = Open();
  f.Button4.Click();  // FTP host "NONE"
  EXPECT_TRUE(fs::is_empty(account.Home));
  settings.FtpHost = "127.0.0.1";
  settings.FtpPort = account.Port;
  settings.FtpUser = account.User;
  settings.FtpPass = account.Password;
  f.Edit9.SetText("Now");
  f.Button4.Click();
  EXPECT_EQ(ReadAll(account.Home + "/Now.html"), "<p>page</p>\r\n");
  EXPECT_FALSE(ftp.IsOpen());
  EXPECT_TRUE(shown.empty());
}

// A poll cycle holds the mailbox client: the test button is disabled, a click does nothing,
// and the cycle's connection goes on undisturbed.
TEST_F(Form2Servers, ATestWaitsWhileAPollCycleUsesTheMailboxClient) {
  settings.Pop3Host = "127.0.0.1";
  settings.Pop3Port = box.Port;
  settings.Pop3User = box.User;
  settings.Pop3Pass = box.Password;
  box.Clear();
  box.Put("Subject: a\r\n\r\nbody\r\n");
  TForm2& f = Open();
  {
    auto cycle = clients.TryTake(TNetClientKind::Mailbox);
    pop3.Host = "127.0.0.1";
    pop3.Port = box.Port;
    pop3.UserId = box.User;
    pop3.Password = box.Password;
    pop3.OpenConnection();
    EXPECT_FALSE(f.Button10.Enabled());
    f.Button10.Click();
    EXPECT_TRUE(shown.empty());
    ASSERT_TRUE(pop3.IsOpen());
    EXPECT_EQ(pop3.CountMessages(), 1);
    pop3.CloseConnection();
  }
  EXPECT_TRUE(f.Button10.Enabled());
  f.Button10.Click();
  EXPECT_EQ(shown, std::vector<std::string>{kConfirmed});
}

// The reverse: while the FTP test waits on the server (the user reading its message), a
// publication asked for by the order processing does not touch the client; it runs as soon
// as the test has closed its connection.
TEST_F(Form2Servers, APublicationDuringAnFtpTestWaitsForTheTestToEnd) {
  WriteAll(dir.path() + "/item.html", "page\r\n");
  settings.FtpHost = "127.0.0.1";
  settings.FtpPort = account.Port;
  settings.FtpUser = account.User;
  settings.FtpPass = account.Password;
  TForm2& f = Open();
  std::function<void()> publish = Host().PublishPage;
  duringMessage = [&] {
    EXPECT_FALSE(f.Button4.Enabled());
    publish();
    EXPECT_TRUE(ftp.IsOpen());
    EXPECT_TRUE(fs::is_empty(account.Home));
  };
  f.Button3.Click();
  EXPECT_EQ(shown, std::vector<std::string>{kConfirmed});
  EXPECT_TRUE(fs::is_empty(account.Home));
  dialog_test::RunMessageLoopOnce();
  EXPECT_EQ(ReadAll(account.Home + "/Recent.html"), "page\r\n");
  EXPECT_TRUE(f.Button4.Enabled());
  EXPECT_FALSE(ftp.IsOpen());
}

}  // namespace
