#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/files.h"
#include "base/sjisliteral.h"
#include "intake/itemlines.h"
#include "intake/orderparser.h"
#include "support/testing.h"
#include "text/lines.h"

namespace {

using testing_support::Show;

// Answers with preset texts and records every call in order.
class TFakeLookup : public TProductLookup {
 public:
  void ClearReviewPageUrl() override { calls.push_back("clear"); }
  TLookupResult LookupByCode(const std::string& code) override {
    calls.push_back("code " + Show(code));
    return byCode;
  }
  TLookupResult LookupByName(const std::string& name) override {
    calls.push_back("name " + Show(name));
    return byName;
  }
  TLookupResult LookupReviews() override {
    calls.push_back("reviews");
    if (++reviewCalls == failingReviewCall) return {TLookupResult::kFailed, ""};
    return reviews;
  }

  TLookupResult byCode = {TLookupResult::kFound, "X"};
  TLookupResult byName = {TLookupResult::kNothing, "N"};
  TLookupResult reviews = {TLookupResult::kFound, "Y"};
  int reviewCalls = 0;
  int failingReviewCall = 0;  // 0: never
  std::vector<std::string> calls;
};

const std::string kTime = "10/24 09:05";

class ItemStage : public ::testing::Test {
 protected:
  void AddBlock(const std::string& utf8Section, const std::string& prefecture = "東京都") {
    stage.AddItemBlock(Sjis(utf8Section), kTime, Sjis(prefecture));
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> shown;
    for (const auto& row : rows) {
      // Every row the stage builds reads back from its line unchanged.
      EXPECT_EQ(DecodeOrderRow(EncodeOrderRow(row)), row) << Show(EncodeOrderRow(row));
      shown.push_back(Show(EncodeOrderRow(row)));
    }
    return shown;
  }

  TRecentOrders rows;
  TFakeLookup lookup;
  TSettings settings;
  TItemStage stage{rows, lookup, settings};
};

const std::string kMug =
    "[商品]\r\n"
    "桜のマグカップ (mug-001)\r\n"
    "価格  1200(円) x 2(個) = 2400(円)\r\n";

TEST_F(ItemStage, OneItemBecomesOneRowWithFullWidthBlanks) {
  AddBlock(kMug);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"10/24　09:05,桜のマグカップ　,mug-001,\"X\",東京都,1200,2,\"Y\""}));
  EXPECT_EQ(lookup.calls, (std::vector<std::string>{"clear", "code mug-001", "reviews"}));
}

TEST_F(ItemStage, LookupResultsGoIntoTheRow) {
  using R = TLookupResult;
  struct Case {
    TLookupResult byCode, byName, reviews;
    std::string expectedImage, expectedReview;
    std::vector<std::string> expectedCalls;
  };
  const std::vector<std::string> byCodeOnly = {"clear", "code mug-001", "reviews"};
  const std::vector<std::string> byName = {"clear", "code mug-001", "name 桜のマグカップ　", "reviews"};
  const std::vector<Case> cases = {
      {{R::kFound, "<a href='x'>img</a>"}, {}, {R::kFound, "Y"}, "<a href='x'>img</a>", "Y", byCodeOnly},
      // Nothing found by the code: the name decides, its no-picture cell included.
      {{R::kNothing, ""}, {R::kFound, "N"}, {R::kFound, "Y"}, "N", "Y", byName},
      {{R::kNothing, ""}, {R::kNothing, "<img src='none'>"}, {R::kFound, "Y"}, "<img src='none'>", "Y", byName},
      {{R::kNothing, ""}, {R::kFailed, ""}, {R::kFound, "Y"}, " ", "Y", byName},
      // A failed lookup leaves its blank; the name is not tried.
      {{R::kFailed, ""}, {R::kFound, "N"}, {R::kFound, "Y"}, " ", "Y", byCodeOnly},
      // No review figures, or a review page that could not be had: "-", and the row stays.
      {{R::kFound, "X"}, {}, {R::kNothing, ""}, "X", "-", byCodeOnly},
      {{R::kFound, "X"}, {}, {R::kFailed, ""}, "X", "-", byCodeOnly},
  };
  for (const auto& c : cases) {
    rows.clear();
    lookup.calls.clear();
    lookup.byCode = c.byCode;
    lookup.byName = c.byName;
    lookup.reviews = c.reviews;
    AddBlock(kMug);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Rows()[0], "10/24　09:05,桜のマグカップ　,mug-001,\"" + c.expectedImage + "\",東京都,1200,2,\"" +
                             c.expectedReview + "\"");
    EXPECT_EQ(lookup.calls, c.expectedCalls);
  }
}

TEST_F(ItemStage, ProgramWithoutLookupWritesEmptyImageAndNoReviews) {
  TNoProductLookup none;
  TItemStage plain(rows, none, settings);
  plain.AddItemBlock(Sjis(kMug), kTime, Sjis("東京都"));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"10/24　09:05,桜のマグカップ　,mug-001,\"\",東京都,1200,2,\"-\""}));
}

TEST_F(ItemStage, SeparatorsCutTheBlockIntoItemsNewestOnTop) {
  AddBlock(
      "[商品]\r\n"
      "皿 (p-1)\r\n"
      "価格  100(円) x 1(個)\r\n"
      "----------\r\n"
      "長い名前の\r\n"
      "とても長い\r\n"
      "湯呑み (c-2)\r\n"
      "色: 赤\r\n"
      "価格のみ(円)\r\n"
      "価格  200(円) x 3(個) = 600(円)\r\n"
      "----------\r\n"
      "特価 (A) 本体 (B-2)\r\n"
      "価格  300(円)  1(個)\r\n");
  EXPECT_EQ(Rows(), (std::vector<std::string>{
                        "10/24　09:05,特価　(A)　本体　,B-2,\"X\",東京都,300,Error,\"Y\"",
                        "10/24　09:05,長い名前のとても長い湯呑み　,c-2,\"X\",東京都,200,3,\"Y\"",
                        "10/24　09:05,皿　,p-1,\"X\",東京都,100,1,\"Y\"",
                    }));
  EXPECT_EQ(lookup.calls, (std::vector<std::string>{"clear", "code p-1", "reviews", "clear", "code c-2",
                                                    "reviews", "clear", "code B-2", "reviews"}));
}

TEST_F(ItemStage, MissingMarkersOnThePriceLineGiveError) {
  AddBlock("[商品]\r\n皿 (p-1)\r\n価格 100(円) 個数 2(個)\r\n");
  EXPECT_EQ(Rows(), (std::vector<std::string>{"10/24　09:05,皿　,p-1,\"X\",東京都,Error,Error,\"Y\""}));
}

TEST_F(ItemStage, EmptyFieldAddsNoRowAndAsksForNoReviews) {
  struct Case {
    std::string name, section, time, prefecture;
  };
  const std::vector<Case> cases = {
      {"prefecture", kMug, kTime, ""},
      {"order time", kMug, "", "東京都"},
      {"code", "[商品]\r\n皿 ()\r\n価格  1(円) x 1(個)\r\n", kTime, "東京都"},
      {"name", "[商品]\r\n(p-1)\r\n価格  1(円) x 1(個)\r\n", kTime, "東京都"},
      {"price", "[商品]\r\n皿 (p-1)\r\n価格  (円) x 1(個)\r\n", kTime, "東京都"},
      {"quantity", "[商品]\r\n皿 (p-1)\r\n価格  1(円) x (個)\r\n", kTime, "東京都"},
  };
  for (const auto& c : cases) {
    lookup.calls.clear();
    stage.AddItemBlock(Sjis(c.section), c.time, Sjis(c.prefecture));
    EXPECT_TRUE(rows.empty()) << c.name;
    EXPECT_EQ(std::count(lookup.calls.begin(), lookup.calls.end(), "reviews"), 0) << c.name;
    EXPECT_EQ(lookup.calls.front(), "clear") << c.name;
  }
}

TEST_F(ItemStage, MalformedItemsFailAndEarlierRowsStay) {
  const std::string good = Sjis("皿 (p-1)\r\n価格  100(円) x 1(個)\r\n");
  const std::string head = Sjis("[商品]\r\n");
  const std::string next = good + "----------\r\n";
  const std::string price = Sjis("価格  1(円) x 1(個)\r\n");
  struct Case {
    std::string name, section;
    size_t rowsBefore;
  };
  const std::vector<Case> cases = {
      {"empty section", "", 0},
      {"only the item line", head, 0},
      {"separator at the end", head + next, 1},
      {"two separators", head + next + "----------\r\n" + good, 1},
      {"no closing parenthesis", head + next + Sjis("皿 (p-2\r\n") + price, 1},
      {"no opening parenthesis", head + next + Sjis("皿 p-2)\r\n") + price, 1},
      {"no price line", head + next + Sjis("皿 (p-2)\r\n価格  1(円)\r\n"), 1},
      // The last ")" after a stray lead byte is that byte's trail byte: the last "(" found
      // then lies after the last ")" found.
      {"closing parenthesis swallowed", head + next + "x)(p\x83)\r\n" + price, 1},
  };
  for (const auto& c : cases) {
    rows.clear();
    EXPECT_THROW(stage.AddItemBlock(c.section, kTime, Sjis("東京都")), EVendlumeError) << c.name;
    EXPECT_EQ(rows.size(), c.rowsBefore) << c.name;
  }
}

TEST_F(ItemStage, FailedReviewLookupCostsOnlyThatRowsFigures) {
  lookup.failingReviewCall = 2;
  AddBlock(kMug + "----------\r\n皿 (p-1)\r\n価格  1(円) x 1(個)\r\n----------\r\n" + kMug.substr(10));
  EXPECT_EQ(Rows(), (std::vector<std::string>{
                        "10/24　09:05,桜のマグカップ　,mug-001,\"X\",東京都,1200,2,\"Y\"",
                        "10/24　09:05,皿　,p-1,\"X\",東京都,1,1,\"-\"",
                        "10/24　09:05,桜のマグカップ　,mug-001,\"X\",東京都,1200,2,\"Y\"",
                    }));
  EXPECT_EQ(std::count(lookup.calls.begin(), lookup.calls.end(), "clear"), 3);
}

TEST_F(ItemStage, RowStaysOneLineWithOnlyItsOwnQuotes) {
  lookup.byCode = {TLookupResult::kFound, std::string("<a href=\"x\">\r\n<img>\n</a>\r\0", 26)};
  lookup.reviews = {TLookupResult::kFound, "<img src=\"s\">\r\n<br>4.5"};
  AddBlock("[商品]\r\n\"特別\" 皿, 白 (p\"1)\r\n価格  \"1\"(円) x 2\"(個)\r\n", "東\"京");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(SplitLines(EncodeOrderRow(rows[0])).size(), 1u);
  EXPECT_EQ(Rows()[0],
            "10/24　09:05,”特別”　皿，　白　,p”1,\"<a href='x'>  <img> </a>  \",東”京,”1”,2”,"
            "\"<img src='s'>  <br>4.5\"");
}

TEST_F(ItemStage, CountCapsTheListAtEachInsertion) {
  struct Case {
    size_t loaded;
    int count;
    size_t after;
  };
  const std::vector<Case> cases = {{20, 20, 20}, {25, 20, 20}, {3, 20, 4}, {3, 0, 0}};
  for (const auto& c : cases) {
    rows.assign(c.loaded, DecodeOrderRow("old"));
    settings.Count = c.count;  // read at the insertion
    AddBlock(kMug);
    ASSERT_EQ(rows.size(), c.after) << c.loaded << " rows, count " << c.count;
    if (c.after) {
      EXPECT_NE(rows.front(), DecodeOrderRow("old"));
    }
  }
}

// The parser and the item stage together, as the poll cycle runs them: every block of the
// mail through the stage, then one save.
struct TStageHost {
  explicit TStageHost(TItemStage& stage) : stage(stage) {}
  TItemStage& stage;
  int saves = 0;
};

void ParseOrderMail(const std::string& text, std::string& shop, TStageHost& host) {
  const TOrderMail mail = ::ParseOrderMail(text);
  if (mail.ignored) return;
  if (mail.shopName) shop = *mail.shopName;
  for (const TItemBlock& block : mail.itemBlocks) host.stage.AddItemBlock(block.section, block.orderTime, block.prefecture);
  ++host.saves;
}

TEST_F(ItemStage, WholeMailGivesRowsOrNothingSaved) {
  const std::string head =
      "[日時]     2016-10-24 09:05:33\r\n"
      "[注文者] 山田 太郎 様\r\n"
      "〒100-0001 東京都千代田区\r\n"
      "(TEL) 03-1234-5678\r\n";
  TStageHost host(stage);
  std::string shop;

  ParseOrderMail(Sjis(head + kMug + "**********\r\n"), shop, host);
  EXPECT_EQ(rows.size(), 1u);
  EXPECT_EQ(host.saves, 1);

  // Quoted twice: the item name begins with ">" and a full-width blank.
  std::string quoted;
  for (const auto& line : SplitLines(Sjis(head + kMug + "**********\r\n"))) quoted += "> > " + line + "\r\n";
  ParseOrderMail(quoted, shop, host);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Rows()[0], "10/24　09:05,>　桜のマグカップ　,mug-001,\"X\",東京都,1200,2,\"Y\"");

  // No asterisk line: the empty section fails, nothing is saved.
  EXPECT_THROW(ParseOrderMail(Sjis(head + kMug), shop, host), EVendlumeError);
  EXPECT_EQ(host.saves, 2);

  // Two item lines: the items go in twice.
  ParseOrderMail(Sjis(head + kMug + "**********\r\n[商品]\r\n"), shop, host);
  EXPECT_EQ(rows.size(), 4u);
}

}  // namespace
