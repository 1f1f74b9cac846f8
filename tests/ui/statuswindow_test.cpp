#include <gtest/gtest.h>

#include "dialog_support.h"
#include "ui/statuswindow.h"

TEST(StatusWindow, OneWindowShowsTheReportAsItIsNowAndGoesWhenClosed) {
  std::unique_ptr<TStatusWindow> slot;
  int reads = 0;
  auto report = [&reads] { return "report " + std::to_string(++reads) + "\r\n"; };
  ShowStatusWindow(slot, report);
  TStatusWindow* const first = slot.get();
  first->Refresh();
  ShowStatusWindow(slot, report);  // the open one, read again
  EXPECT_EQ(slot.get(), first);
  EXPECT_TRUE(first->Visible());
  EXPECT_EQ(first->Memo1.Text(), "report 3\r\n");
  first->Button1.Click();
  dialog_test::RunMessageLoopOnce();
  EXPECT_FALSE(slot);
}
