#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/sjisliteral.h"
#include "publish/page_helpers.h"
#include "publish/pagecell.h"
#include "support/testing.h"

namespace {

using page_test::ForeignMarkup;
using testing_support::Show;

const std::string kNoPicture =
    "<img border=0 src='http://thumb.test/@0_mall/com/css/c/pc/img/nopicture/nopicture.gif?_ex=48x48'>";

TEST(SafeAddress, OnlyWebAddressesAndMallPathsPass) {
  const struct {
    std::string address;
    std::optional<std::string> safe;
  } cases[] = {
      {"http://item.test/shop/mug/", "http://item.test/shop/mug/"},
      {"HTTPS://item.test/a?b=1&c=2", "HTTPS://item.test/a?b=1&c=2"},
      {"/shop/mug.jpg", "https://mall.test/shop/mug.jpg"},
      {"http://", std::nullopt},
      {"http:///evil", std::nullopt},
      {"http:item", std::nullopt},
      {"javascript:alert(1)", std::nullopt},
      {"JavaScript:alert(1)", std::nullopt},
      {"&#106;avascript:alert(1)", std::nullopt},
      {"java\tscript:alert(1)", std::nullopt},
      {"data:text/html,x", std::nullopt},
      {"vbscript:msgbox", std::nullopt},
      {"//evil.test/x.jpg", std::nullopt},
      {"/\\evil.test/x.jpg", std::nullopt},
      {"s.gif", std::nullopt},
      {"", std::nullopt},
      {"http://item.test/'onmouseover='a", std::nullopt},
      {"http://item.test/\"x", std::nullopt},
      {"http://item.test/<script>", std::nullopt},
      {"http://item.test/a>b", std::nullopt},
      {"http://item.test/a b", std::nullopt},
      {"http://item.test/\x01", std::nullopt},
      {"http://item.test/\x7F", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SafeAddress(c.address, "https://mall.test"), c.safe) << Show(c.address);
  }
  // Without an origin (a stored cell) a path is no address.
  EXPECT_EQ(SafeAddress("/shop/mug.jpg", ""), std::nullopt);
}

TEST(PageCell, TodaysCellsPassTheCheckUnchanged) {
  const std::string lookups[] = {
      "",
      " ",
      Sjis("(該当なし)"),
      kNoPicture,
      Sjis("<a href='http://item.test/shop/mug-001/' target='_top'><img alt='桜のマグ' "
           "src='http://thumb.test/@0_mall/shop/cabinet/mug.jpg?_ex=48x48'></a>"),
      Sjis("<a href='http://item.test/shop/mug-001/' target='_top'><img alt='桜のマグ' "
           "src='http://thumb.test/@0_mall/shop/cabinet/mug.jpg?_ex=48x48'>"),
      "<a href='http://item.test/shop/mug-001/' target='_top'><img src='http://thumb.test/mug.jpg' border=0></a>",
      "<a href='http://i.test/' target='_top'><img alt='A &amp; B &#x27;x&#x27; &lt;y&gt;' src='http://t.test/a'>",
  };
  for (const std::string& cell : lookups) {
    EXPECT_EQ(CheckedLookupCell(cell, kNoPicture), cell) << Show(cell);
    EXPECT_EQ(ForeignMarkup(cell), "") << Show(cell);
  }
  const std::string reviews[] = {
      "",
      "-",
      Sjis("<img src='http://r.test/star45.gif' width='12' height='12' alt='4.5'><br>4.52<br>レビュー:128件"),
      Sjis("<img src='http://r.test/star45.gif'><br>4.50<br>レビュー:12件"),
      Sjis("<br>4<br>レビュー: 7 件"),
  };
  for (const std::string& cell : reviews) {
    EXPECT_EQ(CheckedReviewCell(cell), cell) << Show(cell);
    EXPECT_EQ(ForeignMarkup(cell), "") << Show(cell);
  }
}

TEST(PageCell, ForeignStoredCellsAreNotShown) {
  const std::string lookups[] = {
      "<a href='javascript:alert(1)' target='_top'><img alt='x' src='http://t.test/a.jpg'></a>",
      "<a href='JAVASCRIPT:alert(1)' target='_top'><img alt='x' src='http://t.test/a.jpg'></a>",
      "<a href='&#106;avascript:alert(1)' target='_top'><img alt='x' src='http://t.test/a.jpg'></a>",
      "<a href='http://i.test/' target='_top'><img alt='x' src='http://t.test/a.jpg' onerror='alert(1)'></a>",
      "<a href='http://i.test/' target='_top'><img alt='x' src='http://t.test/a.jpg' onerror=alert(1)></a>",
      "<a href='http://i.test/' target='_top' onmouseover='alert(1)'><img src='http://t.test/a.jpg'></a>",
      "<a href='http://i.test/' target='_top'><img alt='x' onmouseover='a' src='http://t.test/a.jpg'></a>",
      "<a href='http://i.test/' target='_top'><img alt='x' src='data:image/gif;base64,R0lG'></a>",
      "<a href='//evil.test/' target='_top'><img src='http://t.test/a.jpg'></a>",
      "<img src='vbscript:x'>",
      "<img src='http://t.test/a.jpg'></td><script>alert(1)</script>",
      "<img src='http://t.test/a.jpg'><script>alert(1)</script>",
      "<img alt='</td><script>' src='http://t.test/a.jpg'>",
      "<img src='http://t.test/a.jpg' border='0' width=x>",
      "<img src='http://t.test/a.jpg' src='http://t.test/b.jpg'>",
      "<img alt='x'>",
      "<img src='http://t.test/a.jpg'",
      "<a href='http://i.test/' target='_top'>",
      "<a href='u'>&amp;</a>",
      "<b>x</b>",
      "a & b",
  };
  for (const std::string& cell : lookups) {
    EXPECT_EQ(CheckedLookupCell(cell, kNoPicture), kNoPicture) << Show(cell);
  }
  const std::string reviews[] = {
      Sjis("<img src='javascript:alert(1)'><br>4<br>レビュー:1件"),
      Sjis("<img src='http://r.test/s.gif' onload='alert(1)'><br>4<br>レビュー:1件"),
      Sjis("<img src='s.gif'><br>4<br>レビュー:1件"),
      Sjis("<br><script>alert(1)</script><br>レビュー:1件"),
      Sjis("<br>4<br>レビュー:1</td>件"),
      Sjis("<br>4<br>レビュー:1"),
      Sjis("<br>4件"),
      "<br><b>q&amp;a</b>",
      Sjis("<img src='http://r.test/s.gif'>x<br>4<br>レビュー:1件"),
  };
  for (const std::string& cell : reviews) {
    EXPECT_EQ(CheckedReviewCell(cell), "-") << Show(cell);
  }
}

TEST(PageCell, HostilePartsGiveOnlyTheBuildersMarkup) {
  const std::vector<TCellAttribute> safeImage = {{"alt", "x"}, {"src", "http://t.test/a.jpg"}};
  const struct {
    std::string itemAddress;
    std::vector<TCellAttribute> image;
    bool shown;
  } cases[] = {
      {"http://i.test/", safeImage, true},
      {"/item/1", safeImage, true},
      {"http://i.test/", {{"alt", "x' onmouseover='alert(1)"}, {"src", "http://t.test/a.jpg"}}, true},
      {"http://i.test/", {{"alt", "</td><script>alert(1)</script>"}, {"src", "http://t.test/a.jpg"}}, true},
      {"http://i.test/", {{"alt", "\"><img src=x onerror=alert(1)>"}, {"src", "http://t.test/a.jpg"}}, true},
      {"http://i.test/", {{"alt", "a\r\nb"}, {"src", "http://t.test/a.jpg"}}, true},
      {"javascript:alert(1)", safeImage, false},
      {"http://i.test/' onmouseover='a", safeImage, false},
      {"http://i.test/", {{"alt", "x"}, {"src", "JaVaScRiPt:alert(1)"}}, false},
      {"http://i.test/", {{"src", "http://t.test/a.jpg"}, {"onerror", "alert(1)"}}, false},
      {"http://i.test/", {{"src", "http://t.test/a.jpg"}, {"width", "1 onerror=a", false}}, false},
      {"http://i.test/", {{"alt", "x"}}, false},
  };
  for (const auto& c : cases) {
    for (bool close : {true, false}) {
      const auto cell = PhotoCell({c.itemAddress, c.image, close, "https://mall.test"});
      ASSERT_EQ(cell.has_value(), c.shown) << Show(c.itemAddress);
      if (!cell) continue;
      EXPECT_EQ(ForeignMarkup(*cell), "") << Show(*cell);
      EXPECT_EQ(cell->ends_with("</a>"), close) << Show(*cell);
      // What the builder writes, the page shows.
      EXPECT_EQ(CheckedLookupCell(*cell, kNoPicture), *cell);
    }
  }
  const std::string review = ReviewCell(
      {{{"src", "javascript:alert(1)"}, {"onload", "a"}}, "4</td><script>", "1' onclick='a", "https://mall.test"});
  EXPECT_EQ(review, Sjis("<br>4&lt;/td&gt;&lt;script&gt;<br>レビュー:1&#x27; onclick=&#x27;a件"));
  EXPECT_EQ(ForeignMarkup(review), "");
  EXPECT_EQ(CheckedReviewCell(review), review);
}

TEST(ForeignMarkup, FindsWhatTheBuildersNeverWrite) {
  for (std::string_view cell : {"<img src='a' onerror='x'>", "<img src=x>", "<script>", "<a href='//e'>",
                                "<img src='a\"'>", "<img src='a'", "<i>", "x>"}) {
    EXPECT_NE(ForeignMarkup(cell), "") << cell;
  }
}

}  // namespace
