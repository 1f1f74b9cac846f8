// The program started at logon, before the taskbar exists: whatever the shell answers to
// the first add, the program starts, polls, and its icon comes with "TaskbarCreated".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/errorhandler.h"
#include "app/form1.h"
#include "platform/application.h"
#include "platform/tray.h"
#include "support/testing.h"

namespace {

#ifndef _WIN32  // the stand-in's shell fails on request; the real one cannot be made to
std::vector<std::string> boxes;
void RecordBox(const std::string&, const std::string& text) { boxes.push_back(text); }

TEST(StartAtLogon, TheProgramStartsWithoutTheTaskbarAndItsIconComesWithIt) {
  struct Row {
    const char* name;
    std::vector<unsigned> codes;
    size_t boxes;  // the failure is reported, not fatal
  } rows[] = {
      {"no error code", {0}, 0},
      {"access denied", {5}, 1},
      {"the shell's time-out, then another code", {platform::kErrorTimeout, 5, 5}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing_support::ScopedTempDir dir;
    boxes.clear();
    SetErrorBox(RecordBox);
    platform::FailNextShellCalls(row.codes);
    {
      TForm1 form;
      EXPECT_EQ(boxes.size(), row.boxes);
      EXPECT_TRUE(platform::NotificationAreaIcons().empty());
      EXPECT_TRUE(form.Timer1.Running());
      platform::BroadcastMessage(platform::RegisterMessage("TaskbarCreated"));
      platform::ProcessMessages();
      ASSERT_EQ(platform::NotificationAreaIcons().size(), 1u);
      EXPECT_EQ(platform::NotificationAreaIcons()[0].tip, form.TrayIcon1.TipHelp());
    }
    SetErrorBox(nullptr);
    EXPECT_TRUE(platform::NotificationAreaIcons().empty());
  }
}
#endif

}  // namespace
