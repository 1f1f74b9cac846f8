// The settings dialog, headless, against the controller's settings and the private dovecot
// and vsftpd that CTest starts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

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

// Full-width digits (typed with the Japanese input method on) count, a full-width blank does not.
TEST_F(Form2Test, APortThatIsNoWholeNumberAppliesNothingOfItsGroup) {
  struct Case {
    std::string port;
    bool ok;
    int value;
  } cases[] = {{"  110", true, 110}, {"110 ", false, 0}, {"$6E", true, 110}, {"", false, 0}, {"abc", false, 0},
               {"2147483648", false, 0}, {"-1", true, -1}, {Sjis("９９５"), true, 995}, {Sjis("９９５　"), false, 0}};
  const auto accounts = [](const TSettings& s) { return std::tuple(s.Pop3Host, s.Pop3Port, s.FtpUser, s.FtpPort); };
  for (const auto& c : cases) {
    SCOPED_TRACE(SjisToUtf8Text(c.port));
    settings = TSettings{};
    errors.messages.clear();
    TForm2& f = Open();
    f.Edit1.SetText("h1");
    f.Edit4.SetText(c.port);
    f.Edit7.SetText("u2");
    f.Edit8.SetText(c.port);
    f.Button1.Click();
    f.Button2.Click();
    EXPECT_EQ(accounts(settings),
              c.ok ? std::tuple(std::string("h1"), c.value, std::string("u2"), c.value) : accounts(TSettings{}));
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

// Which of an account's three TLS radio buttons is checked, as "010".
std::string Checks(const TRadioButton& none, const TRadioButton& first, const TRadioButton& protocol) {
  std::string marks;
  for (const TRadioButton* box : {&none, &first, &protocol}) marks += box->Checked() ? '1' : '0';
  return marks;
}

TEST_F(Form2Test, TheTlsBoxesShowTheSettingsAndEachAccountsButtonAppliesItsOwn) {
  struct Case {
    int pop3Tls, ftpTls;    // in the settings when the dialog opens
    std::string pop3Shown, ftpShown;
    int pop3Click, ftpClick;  // the box clicked then (0 none, 1 first byte, 2 protocol)
  } cases[] = {
      {0, 0, "100", "100", 1, 2}, {1, 2, "010", "001", 2, 0}, {2, 1, "001", "010", 0, 1},
      {2, 2, "001", "001", 2, 2},  // clicking the checked box keeps it
      {7, -1, "100", "100", 1, 1},  // a mode this program does not know shows as none
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pop3Tls << "/" << c.ftpTls);
    settings = TSettings{};
    settings.Pop3Tls = c.pop3Tls;
    settings.FtpTls = c.ftpTls;
    settings.Pop3Fingerprint = "AB:CD";
    settings.FtpFingerprint = "ef01";
    TForm2& f = Open();
    EXPECT_EQ(Checks(f.RadioButton1, f.RadioButton2, f.RadioButton3), c.pop3Shown);
    EXPECT_EQ(Checks(f.RadioButton4, f.RadioButton5, f.RadioButton6), c.ftpShown);
    EXPECT_EQ(f.Edit10.Text(), "AB:CD");
    EXPECT_EQ(f.Edit11.Text(), "ef01");

    TRadioButton* pop3Boxes[] = {&f.RadioButton1, &f.RadioButton2, &f.RadioButton3};
    TRadioButton* ftpBoxes[] = {&f.RadioButton4, &f.RadioButton5, &f.RadioButton6};
    pop3Boxes[c.pop3Click]->Click();
    ftpBoxes[c.ftpClick]->Click();
    std::string one = "000", other = "000";
    one[c.pop3Click] = '1';
    other[c.ftpClick] = '1';
    EXPECT_EQ(Checks(f.RadioButton1, f.RadioButton2, f.RadioButton3), one);
    EXPECT_EQ(Checks(f.RadioButton4, f.RadioButton5, f.RadioButton6), other);
    f.Edit10.SetText("");
    f.Edit10.Type("00:11");
    f.Edit11.SetText("");

    // Nothing is applied before "設定完了", and each button applies only its account.
    EXPECT_EQ(settings.Pop3Tls, c.pop3Tls);
    f.Button1.Click();
    EXPECT_EQ(settings.Pop3Tls, c.pop3Click);
    EXPECT_EQ(settings.Pop3Fingerprint, "00:11");
    EXPECT_EQ(settings.FtpTls, c.ftpTls);
    EXPECT_EQ(settings.FtpFingerprint, "ef01");
    f.Button2.Click();
    EXPECT_EQ(settings.FtpTls, c.ftpClick);
    EXPECT_EQ(settings.FtpFingerprint, "");

    ASSERT_TRUE(f.Close());
    TSettings read;
    LoadSettings(read, iniPath());
    EXPECT_EQ(read.Pop3Tls, c.pop3Click);
    EXPECT_EQ(read.Pop3Fingerprint, "00:11");
    EXPECT_EQ(read.FtpTls, c.ftpClick);
    EXPECT_EQ(read.FtpFingerprint, "");
    EXPECT_TRUE(errors.messages.empty());
  }
}

TEST_F(Form2Test, ABadPortLeavesTheTlsSettingsOfItsAccountAsTheyWere) {
  settings.Pop3Tls = 1;
  settings.Pop3Fingerprint = "old";
  TForm2& f = Open();
  f.RadioButton3.Click();
  f.Edit10.SetText("new");
  f.Edit4.SetText("99x");
  f.Button1.Click();
  EXPECT_EQ(errors.messages, std::vector<std::string>{NotAnInteger("99x")});
  EXPECT_EQ(settings.Pop3Tls, 1);
  EXPECT_EQ(settings.Pop3Fingerprint, "old");
  errors.messages.clear();
  f.Edit4.SetText("110");
  f.Button1.Click();
  EXPECT_EQ(settings.Pop3Tls, 2);
  EXPECT_EQ(settings.Pop3Fingerprint, "new");
  EXPECT_TRUE(errors.messages.empty());
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

// The owner chooses the TLS mode and pins the certificate in the dialog, applies the
// account and tests it: against the private servers that refuse any login in clear.
TEST_F(Form2Test, ConnectionTestsUseTheTlsModeAndFingerprintChosenInTheDialog) {
  std::map<std::string, std::string> pop3Env, ftpEnv;
  std::string why;
  ASSERT_TRUE(testing_support::ReadServerEnv("dovecot-tls/pop3.env", pop3Env, why)) << why;
  ASSERT_TRUE(testing_support::ReadServerEnv("vsftpd-tls/ftp.env", ftpEnv, why)) << why;
  const std::string kRefused = Sjis("サーバーの証明書を確認できません。");
  struct Case {
    const char* what;
    bool ftp;
    const char* portKey;
    int box;  // 0 none, 1 from the first byte, 2 started by the protocol
    const char* pinKey;
    std::string expected;  // the message, or its beginning
  } cases[] = {
      {"POP3 from the first byte", false, "TLS_PORT", 1, "SHA256_SERVER", kConfirmed},
      {"POP3 STLS", false, "PORT", 2, "SHA256_SERVER", kConfirmed},
      // dovecot takes a login in clear from the loopback, so the mode shows the other way:
      // TLS from the first byte where the server greets in clear fails.
      {"POP3 from the first byte on the STLS port", false, "PORT", 1, "SHA256_SERVER", kFailed},
      {"POP3 STLS, another certificate pinned", false, "PORT", 2, "SHA256_EXPIRED", kRefused},
      {"FTPS from the first byte", true, "TLS_PORT", 1, "SHA256_SERVER", kConfirmed},
      {"FTP AUTH TLS", true, "PORT", 2, "SHA256_SERVER", kConfirmed},
      {"FTP in clear", true, "PORT", 0, "SHA256_SERVER", kFailed},
      {"FTP AUTH TLS, another certificate pinned", true, "PORT", 2, "SHA256_SELFSIGNED", kRefused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    shown.clear();
    settings = TSettings{};
    auto& env = c.ftp ? ftpEnv : pop3Env;
    TForm2& f = Open();
    TEdit& host = c.ftp ? f.Edit6 : f.Edit1;
    TEdit& user = c.ftp ? f.Edit7 : f.Edit2;
    TEdit& pass = c.ftp ? f.Edit5 : f.Edit3;
    TEdit& port = c.ftp ? f.Edit8 : f.Edit4;
    TEdit& pin = c.ftp ? f.Edit11 : f.Edit10;
    TRadioButton* boxes[] = {c.ftp ? &f.RadioButton4 : &f.RadioButton1, c.ftp ? &f.RadioButton5 : &f.RadioButton2,
                          c.ftp ? &f.RadioButton6 : &f.RadioButton3};
    host.SetText("localhost");
    user.SetText(env["USER"]);
    pass.SetText(env["PASSWORD"]);
    port.SetText(env[c.portKey]);
    boxes[c.box]->Click();
    pin.SetText(env[c.pinKey]);
    (c.ftp ? f.Button2 : f.Button1).Click();
    (c.ftp ? f.Button3 : f.Button10).Click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].substr(0, c.expected.size()), c.expected) << SjisToUtf8Text(shown[0]);
    EXPECT_FALSE(pop3.IsOpen());
    EXPECT_FALSE(ftp.IsOpen());
    EXPECT_TRUE(errors.messages.empty());
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
