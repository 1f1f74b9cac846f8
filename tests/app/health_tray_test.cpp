// The private vsftpd refusing the password for three cycles, then taking it: the owner is told once the
// trouble lasts and once it ends, in the tray, the status file and the events log.
#include <gtest/gtest.h>

#include "app/eventlog.h"
#include "app/form1.h"
#include "base/sjisliteral.h"
#include "platform/dialog.h"
#include "platform/tray.h"
#include "support/dovecot_mailbox.h"
#include "support/server_env.h"
#include "support/testing.h"

TEST(HealthTray, AnFtpTroubleIsToldAfterTwoCyclesAndItsEndOnce) {
  testing_support::FtpAccount ftp;
  testing_support::DovecotMailbox mailbox;
  std::string why;
  ASSERT_TRUE(ftp.Load(why) && mailbox.Load(why)) << why;
  testing_support::ScopedTempDir dir;
  mailbox.Clear();
  testing_support::WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(mailbox.Port) +
                                                "\r\nUser=" + mailbox.User + "\r\nPass=" + mailbox.Password +
                                                "\r\n[FTP]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(ftp.Port) +
                                                "\r\nUser=" + ftp.User + "\r\nPass=wrong\r\nTarget=HealthTray\r\n");
  testing_support::WriteAll("item.unpublished", "");  // every cycle uploads
  TForm1 form;
  const size_t balloons = platform::NotificationAreaBalloons().size();
  // Each cycle after a power event: a resume brings the poll forward, a suspend (4) does not.
  const unsigned power[] = {platform::kPbtResumeAutomatic, 4, platform::kPbtResumeSuspend, 4, 4};
  for (int cycle = 0; cycle < 5; ++cycle) {
    SCOPED_TRACE(cycle);
    if (cycle == 3) {  // the password mended, and the notices turned off: the end is told without a balloon
      form.Settings.FtpPass = ftp.Password;
      form.Notice1Click(form.PopupMenu1.Find("Notice1"));
      EXPECT_NE(testing_support::ReadAll("Vendlume.ini").find("\r\nBalloon=0\r\n"), std::string::npos);
    }
    form.MainWindow->Send(platform::kWmPowerBroadcast, power[cycle], 0);
    EXPECT_EQ(form.Timer1.Interval(), power[cycle] == 4 ? kNormalPollInterval : kResumePollDelay);
    form.CheckNow1Click(form.PopupMenu1.Find("CheckNow1"));
    EXPECT_EQ(form.TrayIcon1.Warning(), cycle == 2);
    const std::string tip = SjisToUtf8Text(form.TrayIcon1.TipHelp());
    EXPECT_EQ(tip.find("\r\nFTP ") == 8 && tip.find("530") != std::string::npos, cycle < 3) << tip;
    if (platform::DialogsAvailable()) continue;  // the stand-in records the area and keeps the status file
    for (const auto& shown : platform::NotificationAreaIcons()) {
      if (shown.window == form.TrayIcon1.Tray().Handle()) {
        EXPECT_EQ(shown.icon, cycle == 2 ? platform::WarningIcon() : platform::ApplicationIcon());
      }
    }
    const auto all = platform::NotificationAreaBalloons();
    ASSERT_EQ(all.size(), balloons + (cycle >= 2));
    EXPECT_TRUE(cycle < 2 || all.back().info.find("530") != std::string::npos);
    EXPECT_EQ(testing_support::ReadAll(kStatusFileName).find("\nftp=trouble\n") != std::string::npos, cycle < 3);
  }
  const std::string log = SjisToUtf8Text(testing_support::ReadAll(kEventsLogFileName));
  EXPECT_TRUE(log.find("[FTP] 失敗: 530") != std::string::npos && log.find("[FTP] 回復しました\r\n") != log.npos) << log;
}
