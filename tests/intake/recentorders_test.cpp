#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "base/errors.h"
#include "base/sjisliteral.h"
#include "intake/recentorders.h"
#include "support/testing.h"

namespace {

using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::WriteAll;

TRecentOrders Numbered(int n) {
  TRecentOrders rows;
  for (int i = 0; i < n; ++i) rows.push_back("row" + std::to_string(i));
  return rows;
}

TEST(InsertRecentOrder, PutsTheRowOnTopAndTrimsToTheCount) {
  struct Case {
    int before, count;
    size_t after;
  };
  const std::vector<Case> cases = {
      {0, 20, 1}, {19, 20, 20}, {20, 20, 20}, {25, 20, 20}, {3, 1, 1}, {3, 0, 0}, {3, -5, 0},
  };
  for (const auto& c : cases) {
    TRecentOrders rows = Numbered(c.before);
    InsertRecentOrder(rows, "new", c.count);
    ASSERT_EQ(rows.size(), c.after) << c.before << " rows, count " << c.count;
    if (c.after == 0) continue;
    EXPECT_EQ(rows.front(), "new");
    // The oldest rows go; the rest keep their order below the new one.
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i], "row" + std::to_string(i - 1));
  }
}

TEST(RecentOrdersFile, SaveAndLoadRoundTripByteExact) {
  ScopedTempDir dir;
  const TRecentOrders rows = {
      Sjis("10/24　09:05,桜のマグカップ　,mug-001,\"<a href='x'>\",東京都,1200,2,\"-\""),
      Sjis("10/23　18:00,ソ表示　,B-2,\" \",国外,Error,1,\"\""),
  };
  SaveRecentOrders(rows, RecentOrdersFileName);
  const std::string bytes = ReadAll(RecentOrdersFileName);
  EXPECT_EQ(bytes, rows[0] + "\r\n" + rows[1] + "\r\n");
  EXPECT_EQ(LoadRecentOrders(RecentOrdersFileName), rows);

  SaveRecentOrders(LoadRecentOrders(RecentOrdersFileName), RecentOrdersFileName);
  EXPECT_EQ(ReadAll(RecentOrdersFileName), bytes);

  SaveRecentOrders({}, RecentOrdersFileName);
  EXPECT_EQ(ReadAll(RecentOrdersFileName), "");
  EXPECT_TRUE(LoadRecentOrders(RecentOrdersFileName).empty());
}

TEST(RecentOrdersFile, LoadKeepsEveryRowAndAcceptsAnyLineEnd) {
  ScopedTempDir dir;
  std::string bytes;
  for (const auto& row : Numbered(25)) bytes += row + "\r\n";
  WriteAll("itemsl.csv", bytes);
  EXPECT_EQ(LoadRecentOrders("itemsl.csv"), Numbered(25));

  WriteAll("itemsl.csv", "a\nb\rc");
  EXPECT_EQ(LoadRecentOrders("itemsl.csv"), (TRecentOrders{"a", "b", "c"}));
}

TEST(RecentOrdersFile, MissingOrUnreadableFileGivesAnEmptyList) {
  ScopedTempDir dir;
  std::filesystem::create_directory("folder.csv");
  EXPECT_TRUE(LoadRecentOrders("folder.csv").empty());
  EXPECT_TRUE(LoadRecentOrders("itemsl.csv").empty());
  SaveRecentOrders({"first"}, "itemsl.csv");
  EXPECT_EQ(ReadAll("itemsl.csv"), "first\r\n");
}

TEST(RecentOrdersFile, ReadableUnreadableOrMissing) {
  struct Case {
    const char* what;
    std::optional<std::string> bytes;  // none: no file
    TRecentOrders rows;
    bool unreadable;
  } cases[] = {
      {"missing", std::nullopt, {}, false},
      {"empty", std::string(), {}, false},
      {"zero-filled, as a power cut leaves it", std::string(4096, '\0'), {}, true},
      {"one NUL byte", std::string(1, '\0'), {}, true},
      {"rows with a NUL among them", std::string("a\r\n\0\r\nb\r\n", 8), {"a", std::string(1, '\0'), "b"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedTempDir dir;
    if (c.bytes) WriteAll("itemsl.csv", *c.bytes);
    bool unreadable = !c.unreadable;
    EXPECT_EQ(LoadRecentOrders("itemsl.csv", &unreadable), c.rows);
    EXPECT_EQ(unreadable, c.unreadable);
  }
}

TEST(RecentOrdersFile, FailedSaveKeepsTheOldFile) {
  ScopedTempDir dir;
  SaveRecentOrders({"old"}, "itemsl.csv");
  // A folder where the new file is written first makes the save fail.
  std::filesystem::create_directory("itemsl.csv.new");
  try {
    SaveRecentOrders({"new", "rows"}, "itemsl.csv");
    FAIL() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), Sjis("ファイル itemsl.csv を作成できません"));
  }
  EXPECT_EQ(ReadAll("itemsl.csv"), "old\r\n");
  EXPECT_EQ(LoadRecentOrders("itemsl.csv"), (TRecentOrders{"old"}));
}

}  // namespace
