#include <gtest/gtest.h>

#include "app/errorhandler.h"
#include "app/form1.h"
#include "base/sjisliteral.h"
#include "platform/application.h"
#include "platform/autostart.h"
#include "platform/tray.h"
#include "support/testing.h"

namespace {

using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::WriteAll;

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

TEST(StartUp, FirstStartWithoutFilesAsksForSettingsAndRendersAnEmptyPage) {
  ScopedTempDir dir;
  TForm1 form;
  EXPECT_TRUE(form.SettingsDialogShown());
  EXPECT_EQ(form.Settings.Pop3Host, "NONE");
  EXPECT_TRUE(form.RecentOrders.empty());
  std::string page = ReadAll("item.html");
  EXPECT_NE(page.find("<table width=600>"), std::string::npos);
  EXPECT_EQ(CountOf(page, "<tr align=Left>"), 0);
  // Nothing but the page is written at start-up.
  EXPECT_FALSE(testing_support::FileExists("Vendlume.ini"));
  EXPECT_FALSE(testing_support::FileExists("itemsl.csv"));
  EXPECT_TRUE(form.Timer1.Running());
  EXPECT_EQ(form.Timer1.Interval(), 15000);
}

TEST(StartUp, LoadsListAndSettingsOfTheCurrentDirectoryAndKeepsRowsAboveTheCap) {
  ScopedTempDir dir;
  WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\n[HTML]\r\nCount=1\r\nTABLE=0\r\n");
  std::string row = Sjis("10/24　09:05,マグ　,mug-001,\"X\",東京都,1200,2,\"-\"");
  WriteAll("itemsl.csv", row + "\r\n" + row + "\r\n");
  TForm1 form;
  EXPECT_FALSE(form.SettingsDialogShown());
  EXPECT_EQ(form.RecentOrders.size(), 2u);  // the cap applies on insertion only
  std::string page = ReadAll("item.html");
  EXPECT_EQ(CountOf(page, "<tr align=Left>"), 2);
  EXPECT_NE(page.find("<table width=100%>"), std::string::npos);
}

TEST(StartUp, ADamagedSettingsOrListFileIsSilent) {
  ScopedTempDir dir;
  WriteAll("Vendlume.ini", "[HTML]\r\nFont=notacolour\r\n");
  WriteAll("itemsl.csv", "\xFF\xFE garbage\r\n");
  TForm1 form;  // the start-up render fails on the colour; nothing escapes
  EXPECT_FALSE(testing_support::FileExists("item.html"));
}

TEST(Menu, AuthorPageItemIsHiddenOnlyOnHouseMachines) {
  ScopedTempDir dir;
  TForm1 form;
  form.HouseMachine = true;
  form.PopupMenu1Popup(&form);
  EXPECT_FALSE(form.Pelnor1Visible());
  form.HouseMachine = false;
  form.PopupMenu1Popup(&form);
  EXPECT_TRUE(form.Pelnor1Visible());
}

TEST(Session, EndOfSessionAnswersOneAndStopsThePollTimer) {
  ScopedTempDir dir;
  TForm1 form;
  EXPECT_EQ(form.QueryEndSession(), 1);
  EXPECT_FALSE(form.Timer1.Running());
}

}  // namespace

namespace {

TEST(Session, TheMainWindowAnswersTheEndOfSessionQueryAndNoCycleStartsAfter) {
  ScopedTempDir dir;
  WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nPort=1\r\n");
  TForm1 form;
  form.HouseMachine = true;  // a cycle would log its failed connection
  EXPECT_EQ(form.MainWindow->Send(platform::kWmQueryEndSession, 0, 0), 1);
  EXPECT_FALSE(form.Timer1.Running());
  form.Timer1Timer(&form.Timer1);  // a tick already queued
  EXPECT_FALSE(testing_support::FileExists("Vendlume.log"));
  // Any other message gets the default handling.
  EXPECT_EQ(form.WindowProc(platform::kWmNull, 0, 0), std::nullopt);
}

TEST(Session, AnEndOfSessionCalledOffResumesPollingAndOneCarriedOutDoesNot) {
  ScopedTempDir dir;
  WriteAll("Vendlume.ini", "[POP3]\r\nHost=127.0.0.1\r\nPort=1\r\n");
  TForm1 form;
  form.HouseMachine = true;  // a cycle logs its failed connection
  form.MainWindow->Send(platform::kWmQueryEndSession, 0, 0);
  form.MainWindow->Send(platform::kWmEndSession, 1, 0);  // the session does end
  EXPECT_FALSE(form.Timer1.Running());
  form.Timer1Timer(&form.Timer1);
  EXPECT_FALSE(testing_support::FileExists("Vendlume.log"));
  form.MainWindow->Send(platform::kWmQueryEndSession, 0, 0);
  form.MainWindow->Send(platform::kWmEndSession, 0, 0);  // called off
  EXPECT_TRUE(form.Timer1.Running());
  form.Timer1Timer(&form.Timer1);
  EXPECT_TRUE(testing_support::FileExists("Vendlume.log"));
}

TEST(Menu, TheTrayMenuHasItsItemsAndTheIconItsTip) {
  ScopedTempDir dir;
  TForm1 form;
  std::vector<std::string> names, captions;
  for (const auto& item : form.PopupMenu1.Items) {
    names.push_back(item.Name);
    captions.push_back(item.Caption);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"POP3Setting1", "Items1", "CheckNow1", "Status1", "Notice1",
                                             "StartWithWindows1", "N1", "Pelnor1", "Exit1"}));
  EXPECT_EQ(captions, (std::vector<std::string>{Sjis("環境設定"), Sjis("出力項目設定"), Sjis("今すぐ確認"),
                                                Sjis("状態"), Sjis("通知"), Sjis("Windows の起動時に開始"), "-",
                                                Sjis("Pelnor のページへ"), Sjis("終了")}));
  EXPECT_EQ(form.TrayIcon1.TipHelp(), "Vendlume");
  EXPECT_EQ(form.TrayIcon1.LButtonPopupMenu, &form.PopupMenu1);
  EXPECT_TRUE(form.TrayIcon1.Tray().Shown());
  form.HouseMachine = true;
  form.PopupMenu1Popup(&form.PopupMenu1);
  EXPECT_FALSE(form.PopupMenu1.Find("Pelnor1")->Visible);
}

TEST(Menu, StartWithWindowsStoresOrRemovesTheRunValueAndItsMarkShowsTheValue) {
  ScopedTempDir dir;
  ASSERT_TRUE(platform::StoreAutostart(false));
  TForm1 form;
  TMenuItem* item = form.PopupMenu1.Find("StartWithWindows1");
  // The value stored behind the program's back before the menu opens (-1: none), mark, chosen, stored after.
  const struct { int before; bool mark, choose, stored; } steps[] = {
      {-1, false, true, true}, {-1, true, true, false}, {1, true, false, true}, {0, false, false, false}};
  for (const auto& s : steps) {
    ASSERT_TRUE(s.before < 0 || platform::StoreAutostart(s.before == 1));
    form.PopupMenu1Popup(&form.PopupMenu1);
    EXPECT_EQ(item->Checked, s.mark) << &s - steps;
    if (s.choose) item->OnClick(item);
    EXPECT_EQ(platform::StoredAutostart().value_or(""), s.stored ? platform::AutostartCommand() : "") << &s - steps;
  }
}

#ifndef _WIN32  // the stand-in's shell fails on request; the real one cannot be made to
// Started at logon before the taskbar exists: the failed add is reported, not fatal; the icon comes with it.
TEST(StartUp, AtLogonTheProgramStartsWithoutTheTaskbarAndItsIconComesWithIt) {
  ScopedTempDir dir;
  static int boxes = 0;
  SetErrorBox([](const std::string&, const std::string&) { ++boxes; });
  platform::FailNextShellCalls({5});  // access denied
  TForm1 form;
  SetErrorBox(nullptr);
  EXPECT_TRUE(boxes == 1 && platform::NotificationAreaIcons().empty() && form.Timer1.Running());
  platform::BroadcastMessage(platform::RegisterMessage("TaskbarCreated"));
  platform::ProcessMessages();
  EXPECT_EQ(platform::NotificationAreaIcons().size(), 1u);
}
#endif

}  // namespace
