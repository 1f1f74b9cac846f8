#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <future>
#include <optional>
#include <string>
#include <thread>

#include "platform/filesystem.h"
#include "support/testing.h"

namespace {

// Holds the file open from a thread of its own with read sharing only, as a spreadsheet
// showing the list does, until Release.
class OtherProgramHolding {
 public:
  explicit OtherProgramHolding(const std::string& path) {
    std::promise<bool> opened;
    std::future<bool> isOpen = opened.get_future();
    thread_ = std::thread([this, path, &opened] {
      const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
      opened.set_value(file != INVALID_HANDLE_VALUE);
      release_.get_future().wait();
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    });
    open_ = isOpen.get();
  }
  ~OtherProgramHolding() { Release(); }
  bool Open() const { return open_; }
  void Release() {
    if (!thread_.joinable()) return;
    release_.set_value();
    thread_.join();
  }

 private:
  std::promise<void> release_;
  std::thread thread_;
  bool open_ = false;
};

TEST(RenameReplacing, WaitsForAProgramHoldingTheTargetOpenThenGivesUpLeavingBothFiles) {
  struct Case {
    const char* name;
    bool held;
    std::optional<int> releasedAfterWaits;  // nothing: held for good
    bool replaced;
    int waits;  // the slices RenameReplacing waited
  };
  const Case cases[] = {
      {"not held", false, std::nullopt, true, 0},
      {"released during the first wait", true, 1, true, 1},
      {"released after half a second", true, 10, true, 10},
      {"held for good", true, std::nullopt, false, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::ScopedTempDir dir;
    testing_support::WriteAll("itemsl.csv", "old");
    testing_support::WriteAll("itemsl.csv.new", "new");
    std::optional<OtherProgramHolding> holder;
    if (c.held) {
      holder.emplace("itemsl.csv");
      ASSERT_TRUE(holder->Open());
    }
    int waits = 0;
    unsigned waitedMs = 0;
    platform::SetRenameRetryWait([&](unsigned ms) {
      ++waits;
      waitedMs += ms;
      if (holder && c.releasedAfterWaits == waits) holder->Release();
    });
    const bool replaced = platform::RenameReplacing("itemsl.csv.new", "itemsl.csv");
    platform::SetRenameRetryWait(nullptr);
    holder.reset();
    EXPECT_EQ(replaced, c.replaced);
    EXPECT_EQ(waits, c.waits);
    if (!c.replaced) {
      EXPECT_GE(waitedMs, 1900u);  // about two seconds in all
      EXPECT_LE(waitedMs, 2100u);
    }
    EXPECT_EQ(testing_support::ReadAll("itemsl.csv"), c.replaced ? "new" : "old");
    EXPECT_EQ(testing_support::FileExists("itemsl.csv.new"), !c.replaced);
  }
}

TEST(RenameReplacing, AFailureThatNoWaitingCuresFailsAtOnce) {
  testing_support::ScopedTempDir dir;
  testing_support::WriteAll("itemsl.csv", "old");
  int waits = 0;
  platform::SetRenameRetryWait([&](unsigned) { ++waits; });
  const bool replaced = platform::RenameReplacing("missing.new", "itemsl.csv");
  platform::SetRenameRetryWait(nullptr);
  EXPECT_FALSE(replaced);
  EXPECT_EQ(waits, 0);
  EXPECT_EQ(testing_support::ReadAll("itemsl.csv"), "old");
}

}  // namespace
#endif
