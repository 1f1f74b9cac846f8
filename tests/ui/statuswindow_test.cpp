// The status window, headless: one window at a time, its text read again when asked and
// when opened again, released once closed.
#include <gtest/gtest.h>

#include "dialog_support.h"
#include "ui/statuswindow.h"

namespace {

TEST(StatusWindow, OneWindowShowsTheReportAsItIsNowAndGoesWhenClosed) {
  std::unique_ptr<TStatusWindow> slot;
  int reads = 0;
  auto report = [&reads] { return "report " + std::to_string(++reads) + "\r\n"; };
  ShowStatusWindow(slot, report);
  ASSERT_TRUE(slot);
  TStatusWindow* first = slot.get();
  EXPECT_TRUE(first->Visible());
  EXPECT_EQ(first->Memo1.Text(), "report 1\r\n");
  first->Refresh();
  EXPECT_EQ(first->Memo1.Text(), "report 2\r\n");
  ShowStatusWindow(slot, report);  // the open one, read again
  EXPECT_EQ(slot.get(), first);
  EXPECT_EQ(first->Memo1.Text(), "report 3\r\n");
  EXPECT_EQ(first->Button1.Caption(), Sjis("閉じる"));
  first->Button1.Click();
  dialog_test::RunMessageLoopOnce();
  EXPECT_FALSE(slot);
}

}  // namespace
