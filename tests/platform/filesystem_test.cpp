#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <tuple>
#include <utility>

#include "platform/filesystem.h"
#include "support/testing.h"

// A program holding the list (read sharing only, as a spreadsheet showing it) is waited for in 40 slices of 50 ms.
TEST(RenameReplacing, WaitsAboutTwoSecondsForAProgramHoldingTheTargetThenGivesUpLeavingBothFiles) {
  // The source, whether held, the wait after which the holder lets go (0: never), replaced, the waits made.
  const std::tuple<const char*, bool, int, bool, int> cases[] = {{"itemsl.csv.new", false, 0, true, 0},
                                                                  {"itemsl.csv.new", true, 1, true, 1},
                                                                  {"itemsl.csv.new", true, 0, false, 40},
                                                                  {"missing.new", false, 0, false, 0}};
  for (const auto& [source, held, releasedAfter, replaced, waitsMade] : cases) {
    testing_support::ScopedTempDir dir;
    testing_support::WriteAll("itemsl.csv", "old");
    testing_support::WriteAll("itemsl.csv.new", "new");
    HANDLE holder = held ? CreateFileA("itemsl.csv", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                         : INVALID_HANDLE_VALUE;
    int waits = 0;
    platform::SetRenameRetryWait([&](unsigned ms) {
      EXPECT_EQ(ms, 50u);
      if (++waits == releasedAfter) CloseHandle(std::exchange(holder, INVALID_HANDLE_VALUE));
    });
    EXPECT_EQ(platform::RenameReplacing(source, "itemsl.csv"), replaced) << source << held << releasedAfter;
    platform::SetRenameRetryWait(nullptr);
    CloseHandle(holder);
    EXPECT_EQ(std::tuple(waits, testing_support::ReadAll("itemsl.csv"), testing_support::FileExists("itemsl.csv.new")),
              std::tuple(waitsMade, replaced ? "new" : "old", !replaced));
  }
}
#endif
