#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <utility>

#include "platform/filesystem.h"
#include "support/testing.h"

namespace {

TEST(RenameReplacing, WaitsAboutTwoSecondsForAProgramHoldingTheTargetThenGivesUpLeavingBothFiles) {
  struct Case {
    const char* name;
    const char* source;
    bool held;               // open, read sharing only, as a spreadsheet showing the list holds it
    int releasedAfterWaits;  // 0: not released
    bool replaced;
    int waits;  // the slices RenameReplacing waited
  } cases[] = {
      {"not held", "itemsl.csv.new", false, 0, true, 0},
      {"released during the first wait", "itemsl.csv.new", true, 1, true, 1},
      {"held for good", "itemsl.csv.new", true, 0, false, 40},
      {"no source: no waiting cures that", "missing.new", false, 0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::ScopedTempDir dir;
    testing_support::WriteAll("itemsl.csv", "old");
    testing_support::WriteAll("itemsl.csv.new", "new");
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.held) holder = CreateFileA("itemsl.csv", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    int waits = 0;
    platform::SetRenameRetryWait([&](unsigned ms) {
      EXPECT_EQ(ms, 50u);  // 40 slices: about two seconds in all
      if (++waits == c.releasedAfterWaits) CloseHandle(std::exchange(holder, INVALID_HANDLE_VALUE));
    });
    const bool replaced = platform::RenameReplacing(c.source, "itemsl.csv");
    platform::SetRenameRetryWait(nullptr);
    CloseHandle(holder);
    EXPECT_EQ(replaced, c.replaced);
    EXPECT_EQ(waits, c.waits);
    EXPECT_EQ(testing_support::ReadAll("itemsl.csv"), c.replaced ? "new" : "old");
    EXPECT_EQ(testing_support::FileExists("itemsl.csv.new"), !c.replaced);
  }
}

}  // namespace
#endif
