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
using testing_support::Show;
using testing_support::WriteAll;

TRecentOrders List(const std::vector<std::string>& lines) {
  TRecentOrders rows;
  for (const std::string& line : lines) rows.push_back(DecodeOrderRow(line));
  return rows;
}

TRecentOrders Numbered(int n) {
  TRecentOrders rows;
  for (int i = 0; i < n; ++i) rows.push_back(DecodeOrderRow("row" + std::to_string(i)));
  return rows;
}

using Fields = std::vector<std::string>;

Fields FieldsOf(const TOrderRow& r) {
  return {r.date, r.name, r.code, r.lookup, r.prefecture, r.price, r.quantity, r.review};
}

// The eight fields, the missing ones empty.
Fields Padded(Fields fields) {
  fields.resize(8);
  return fields;
}

TEST(OrderRow, DecodeSplitsTheLineAsTheItemStageAndOlderFilesWroteIt) {
  using S = TOrderRow::TShape;
  struct Case {
    std::string line;
    Fields fields;
    S shape;
  };
  const std::vector<Case> cases = {
      {Sjis("10/24　09:05,桜のマグカップ　,mug-001,\"<a href='x' target='_top'>X</a>\",東京都,1200,2,"
            "\"<br>4.5<br>レビュー:3件\""),
       {Sjis("10/24　09:05"), Sjis("桜のマグカップ　"), "mug-001", "<a href='x' target='_top'>X</a>", Sjis("東京都"),
        "1200", "2", Sjis("<br>4.5<br>レビュー:3件")},
       S::kWhole},
      {Sjis("10/23　21:00,古い行,old-1,\" \",大阪府,500,3"),
       {Sjis("10/23　21:00"), Sjis("古い行"), "old-1", " ", Sjis("大阪府"), "500", "3"},
       S::kNoReview},
      // Quoted fields keep blanks and commas and undouble quotes.
      {"\"a b,c\",d", {"a b,c", "d"}, S::kDamaged},
      {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}, S::kDamaged},
      {"\"\",x", {"", "x"}, S::kDamaged},
      // An unclosed quote runs to the end of the line.
      {"a,\"open", {"a", "open"}, S::kDamaged},
      // Reading goes on right after the closing quote.
      {"\"ab\"cd,e", {"ab", "cd", "e"}, S::kDamaged},
      // Blanks outside quotes end a field and commas separate.
      {"a b,c", {"a", "b", "c"}, S::kDamaged},
      {"a , b", {"a", "b"}, S::kDamaged},
      {"a\tb", {"a", "b"}, S::kDamaged},
      {"a,,b", {"a", "", "b"}, S::kDamaged},
      {",a", {"", "a"}, S::kDamaged},
      {"a,b,", {"a", "b"}, S::kDamaged},
      {"  \x01 a", {"a"}, S::kDamaged},
      {"", {}, S::kDamaged},
      {" \t ", {}, S::kDamaged},
      {"1,2,3,4,5,6,7,8,9", {"1", "2", "3", "4", "5", "6", "7", "8"}, S::kWhole},
      // "　" is 81 40 and "，" is 81 43: neither byte is a blank or a comma.
      {Sjis("特価　(A)，本体,x"), {Sjis("特価　(A)，本体"), "x"}, S::kDamaged},
      // A lead byte followed by a blank: the pair is one (broken) character, not a field end.
      {"a\x82 b,c", {"a\x82 b", "c"}, S::kDamaged},
      // A lead byte at the very end does not read past the text.
      {"a,b\x82", {"a", "b\x82"}, S::kDamaged},
      // The line ends at its first NUL.
      {std::string("a,b\0,c", 6), {"a", "b"}, S::kDamaged},
      {std::string("\0a", 2), {}, S::kDamaged},
  };
  for (const Case& c : cases) {
    const TOrderRow row = DecodeOrderRow(c.line);
    EXPECT_EQ(FieldsOf(row), Padded(c.fields)) << Show(c.line);
    EXPECT_EQ(row.shape, c.shape) << Show(c.line);
    // Whatever the line, the list writes it back byte for byte (and so digests it alike).
    EXPECT_EQ(EncodeOrderRow(row), c.line) << Show(c.line);
  }
}

TEST(OrderRow, ARowOfTheItemStageNeedsNoCopyOfItsLine) {
  TOrderRow row{Sjis("10/24　09:05"), Sjis("皿　"), "p-1", "<a href='x'>", Sjis("東京都"), "100", "1", "-", TOrderRow::kWhole, std::nullopt};
  EXPECT_EQ(EncodeOrderRow(row), Sjis("10/24　09:05,皿　,p-1,\"<a href='x'>\",東京都,100,1,\"-\""));
  EXPECT_EQ(DecodeOrderRow(EncodeOrderRow(row)), row);
  // Hand-written spacing reads as the same fields but keeps its bytes.
  const TOrderRow spaced = DecodeOrderRow(Sjis("10/24　09:05, 皿　,p-1,\"<a href='x'>\",東京都,100,1,\"-\""));
  EXPECT_EQ(FieldsOf(spaced), FieldsOf(row));
  EXPECT_TRUE(spaced.lineAsRead);
  row.review.clear();
  row.lookup.clear();
  EXPECT_EQ(DecodeOrderRow(EncodeOrderRow(row)), row);
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
    InsertRecentOrder(rows, DecodeOrderRow("new"), c.count);
    ASSERT_EQ(rows.size(), c.after) << c.before << " rows, count " << c.count;
    if (c.after == 0) continue;
    EXPECT_EQ(EncodeOrderRow(rows.front()), "new");
    // The oldest rows go; the rest keep their order below the new one.
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(EncodeOrderRow(rows[i]), "row" + std::to_string(i - 1));
  }
}

TEST(RecentOrdersFile, SaveAndLoadRoundTripByteExact) {
  ScopedTempDir dir;
  const std::vector<std::string> lines = {
      Sjis("10/24　09:05,桜のマグカップ　,mug-001,\"<a href='x'>\",東京都,1200,2,\"-\""),
      Sjis("10/23　18:00,ソ表示　,B-2,\" \",国外,Error,1,\"\""),
      Sjis("10/23　21:00,古い行,old-1,\" \",大阪府,500,3"),
      "damaged , line",
      "",
  };
  const TRecentOrders rows = List(lines);
  SaveRecentOrders(rows, RecentOrdersFileName);
  const std::string bytes = ReadAll(RecentOrdersFileName);
  std::string expected;
  for (const std::string& line : lines) expected += line + "\r\n";
  EXPECT_EQ(bytes, expected);
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
  for (const auto& row : Numbered(25)) bytes += EncodeOrderRow(row) + "\r\n";
  WriteAll("itemsl.csv", bytes);
  EXPECT_EQ(LoadRecentOrders("itemsl.csv"), Numbered(25));

  WriteAll("itemsl.csv", "a\nb\rc");
  EXPECT_EQ(LoadRecentOrders("itemsl.csv"), List({"a", "b", "c"}));
}

TEST(RecentOrdersFile, MissingOrUnreadableFileGivesAnEmptyList) {
  ScopedTempDir dir;
  std::filesystem::create_directory("folder.csv");
  EXPECT_TRUE(LoadRecentOrders("folder.csv").empty());
  EXPECT_TRUE(LoadRecentOrders("itemsl.csv").empty());
  SaveRecentOrders(List({"first"}), "itemsl.csv");
  EXPECT_EQ(ReadAll("itemsl.csv"), "first\r\n");
}

TEST(RecentOrdersFile, ReadableUnreadableOrMissing) {
  struct Case {
    const char* what;
    std::optional<std::string> bytes;  // none: no file
    std::vector<std::string> lines;  // the rows as read, each written back
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
    std::vector<std::string> lines;
    for (const TOrderRow& row : LoadRecentOrders("itemsl.csv", &unreadable)) lines.push_back(EncodeOrderRow(row));
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(unreadable, c.unreadable);
  }
}

TEST(RecentOrdersFile, FailedSaveKeepsTheOldFile) {
  ScopedTempDir dir;
  SaveRecentOrders(List({"old"}), "itemsl.csv");
  // A folder where the new file is written first makes the save fail.
  std::filesystem::create_directory("itemsl.csv.new");
  try {
    SaveRecentOrders(List({"new", "rows"}), "itemsl.csv");
    FAIL() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), Sjis("ファイル itemsl.csv を作成できません"));
  }
  EXPECT_EQ(ReadAll("itemsl.csv"), "old\r\n");
  EXPECT_EQ(LoadRecentOrders("itemsl.csv"), List({"old"}));
}

}  // namespace
