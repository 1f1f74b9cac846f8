// The owner is told: against the private vsftpd with a password it refuses, the controller's
// tip names the FTP trouble, the warning icon and one balloon come after the third failed
// cycle, the events log and the status file hold it; with the right password the icon, the
// tip and one "recovered" balloon come back. The mailbox is the private dovecot's, empty.
#include <gtest/gtest.h>

#include <memory>

#include "app/eventlog.h"
#include "app/form1.h"
#include "base/sjisliteral.h"
#include "platform/dialog.h"
#include "platform/tray.h"
#include "support/dovecot_mailbox.h"
#include "support/server_env.h"
#include "support/testing.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::WriteAll;

std::unique_ptr<TForm1> FormWithStalePage(const testing_support::FtpAccount& ftp, const std::string& password) {
  testing_support::DovecotMailbox mailbox;
  std::string why;
  EXPECT_TRUE(mailbox.Load(why)) << why;
  mailbox.Clear();
  WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\n");
  WriteAll("item.unpublished", "");  // every cycle uploads
  auto form = std::make_unique<TForm1>();
  TSettings& s = form->Settings;
  s.Pop3Port = mailbox.Port;
  s.Pop3User = mailbox.User;
  s.Pop3Pass = mailbox.Password;
  s.FtpHost = "127.0.0.1";
  s.FtpPort = ftp.Port;
  s.FtpUser = ftp.User;
  s.FtpPass = password;
  s.Target = "HealthTray";
  form->NetFTP1->InactivityTimeout = 5000;
  return form;
}

// The icon the notification area holds for the form; null where the area cannot be read
// (the real shell of the Windows build).
void* IconShown(TForm1& form) {
  for (const auto& icon : platform::NotificationAreaIcons())
    if (icon.window == form.TrayIcon1.Tray().Handle()) return icon.icon;
  return nullptr;
}

// The stand-in records the notification area and the balloons, and the status file is
// kept, where there is no desktop.
bool StandIn() { return !platform::DialogsAvailable(); }

size_t Balloons() { return platform::NotificationAreaBalloons().size(); }

TEST(HealthTray, AnFtpTroubleIsToldAfterTwoCyclesAndItsEndOnce) {
  testing_support::FtpAccount ftp;
  std::string why;
  ASSERT_TRUE(ftp.Load(why)) << why;
  ScopedTempDir dir;
  auto form = FormWithStalePage(ftp, "not the password");
  const size_t balloonsBefore = Balloons();

  for (int cycle = 1; cycle <= 3; ++cycle) {
    form->PollMailbox();
    const bool told = cycle == 3;
    EXPECT_EQ(form->TrayIcon1.Warning(), told) << cycle;
    if (!StandIn()) continue;
    EXPECT_EQ(IconShown(*form), told ? platform::WarningIcon() : platform::ApplicationIcon()) << cycle;
    EXPECT_EQ(Balloons(), balloonsBefore + (told ? 1 : 0)) << cycle;
  }
  const std::string tip = SjisToUtf8Text(form->TrayIcon1.TipHelp());
  EXPECT_EQ(tip.rfind("Vendlume\r\nFTP ", 0), 0u) << tip;
  EXPECT_NE(tip.find("530"), std::string::npos) << tip;  // the server's reply
  if (StandIn()) {
    const platform::NotifyIconRecord balloon = platform::NotificationAreaBalloons().back();
    EXPECT_EQ(SjisToUtf8Text(balloon.infoTitle), "FTP に問題があります");
    EXPECT_TRUE(balloon.infoWarning);
    EXPECT_NE(balloon.info.find("530"), std::string::npos);
  }

  const std::string log = SjisToUtf8Text(ReadAll(kEventsLogFileName));
  EXPECT_NE(log.find("[FTP] 失敗: 530"), std::string::npos) << log;
  EXPECT_NE(log.find("[FTP] 問題が続いています (3 回目)\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("[メールボックス]"), std::string::npos) << log;
  if (StandIn()) {
    const std::string status = ReadAll(kStatusFileName);
    EXPECT_NE(status.find("\nwarning=1\n"), std::string::npos) << status;
    EXPECT_NE(status.find("\nftp=trouble\nftp.since="), std::string::npos) << status;
  }

  form->Settings.FtpPass = ftp.Password;
  form->PollMailbox();
  form->PollMailbox();  // nothing more to tell
  EXPECT_FALSE(form->TrayIcon1.Warning());
  EXPECT_EQ(SjisToUtf8Text(form->TrayIcon1.TipHelp()).find("FTP"), std::string::npos);
  EXPECT_NE(SjisToUtf8Text(ReadAll(kEventsLogFileName)).find("[FTP] 回復しました\r\n"), std::string::npos);
  if (!StandIn()) return;
  EXPECT_EQ(IconShown(*form), platform::ApplicationIcon());
  ASSERT_EQ(Balloons(), balloonsBefore + 2);
  EXPECT_EQ(SjisToUtf8Text(platform::NotificationAreaBalloons().back().infoTitle), "FTP は回復しました");
  EXPECT_NE(ReadAll(kStatusFileName).find("\nftp=ok\n"), std::string::npos);
}

TEST(HealthTray, NoticesTurnedOffShowNoBalloonButTheIconStillWarns) {
  testing_support::FtpAccount ftp;
  std::string why;
  ASSERT_TRUE(ftp.Load(why)) << why;
  ScopedTempDir dir;
  auto form = FormWithStalePage(ftp, "not the password");
  form->PopupMenu1Popup(&form->PopupMenu1);
  EXPECT_TRUE(form->PopupMenu1.Find("Notice1")->Checked);
  form->Notice1Click(form->PopupMenu1.Find("Notice1"));
  form->PopupMenu1Popup(&form->PopupMenu1);
  EXPECT_FALSE(form->PopupMenu1.Find("Notice1")->Checked);
  EXPECT_NE(ReadAll("Vendlume.ini").find("[Notice]\r\nBalloon=0\r\n"), std::string::npos);
  const size_t balloonsBefore = Balloons();
  for (int cycle = 1; cycle <= 3; ++cycle) form->CheckNow1Click(form->PopupMenu1.Find("CheckNow1"));
  EXPECT_TRUE(form->TrayIcon1.Warning());
  if (StandIn()) {
    EXPECT_EQ(Balloons(), balloonsBefore);
  }
}

TEST(HealthTray, AResumeFromSleepBringsThePollForward) {
  ScopedTempDir dir;
  TForm1 form;
  for (unsigned event : {platform::kPbtResumeAutomatic, platform::kPbtResumeSuspend}) {
    form.Timer1.SetInterval(kNormalPollInterval);
    EXPECT_EQ(form.MainWindow->Send(platform::kWmPowerBroadcast, event, 0), 1) << event;
    EXPECT_EQ(form.Timer1.Interval(), kResumePollDelay) << event;
    EXPECT_TRUE(form.Timer1.Running()) << event;
  }
  form.Timer1.SetInterval(kNormalPollInterval);
  form.MainWindow->Send(platform::kWmPowerBroadcast, 4 /* PBT_APMSUSPEND */, 0);
  EXPECT_EQ(form.Timer1.Interval(), kNormalPollInterval);
}

}  // namespace
