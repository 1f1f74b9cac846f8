#include <gtest/gtest.h>

#include "dialog_support.h"
#include "ui/statuswindow.h"

TEST(StatusWindow, OneWindowShowsTheReportAsItIsNowAndGoesWhenClosed) {
  std::unique_ptr<TStatusWindow> slot;
  int reads = 0;
  auto report = [&reads] { return std::to_string(++reads); };
  ShowStatusWindow(slot, report);
  TStatusWindow* const first = slot.get();
  ShowStatusWindow(slot, report);  // the open one, read again
  EXPECT_TRUE(slot.get() == first && first->Visible() && first->Memo1.Text() == "2");
  first->Memo1.Type("x");  // a report to read, not to write in
  EXPECT_EQ(first->Memo1.Text(), "2");
  first->Button1.Click();
  dialog_test::RunMessageLoopOnce();
  EXPECT_FALSE(slot);
}
