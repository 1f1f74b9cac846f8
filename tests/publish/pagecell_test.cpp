#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "base/sjisliteral.h"
#include "publish/page_helpers.h"
#include "publish/pagecell.h"
#include "support/testing.h"

namespace {

using testing_support::Show;

const std::string kNoPicture = "<img border=0 src='http://t/n.gif'>";

TEST(SafeAddress, OnlyWebAddressesAndMallPathsPass) {
  EXPECT_EQ(SafeAddress("HTTPS://item.test/a?b=1&c=2", ""), "HTTPS://item.test/a?b=1&c=2");
  EXPECT_EQ(SafeAddress("/shop/mug.jpg", "https://mall.test"), "https://mall.test/shop/mug.jpg");
  EXPECT_EQ(SafeAddress("/shop/mug.jpg", ""), std::nullopt);  // no origin (a stored cell): no address
  for (std::string_view address :
       {"http://", "http:///evil", "http:item", "JavaScript:alert(1)", "&#106;avascript:alert(1)",
        "java\tscript:alert(1)", "data:text/html,x", "//evil.test/x.jpg", "/\\evil.test/x.jpg", "s.gif",
        "http://i.test/'onmouseover='a", "http://i.test/\"x", "http://i.test/<s>", "http://i.test/a>b",
        "http://i.test/a b", "http://i.test/\x01", "http://i.test/\x7F"}) {
    EXPECT_EQ(SafeAddress(address, "https://mall.test"), std::nullopt) << Show(address);
  }
}

// A stored cell is shown as it is when it is in the builders' grammar; else the no-picture
// image (lookup) or "-" (review) stands in for it.
TEST(PageCell, StoredCellsAreShownOnlyInTheBuildersGrammar) {
  for (std::string_view shown : {"", " ", "(該当なし)", "<img border=0 src='http://t/nopicture.gif?_ex=48x48'>",
                                 "<a href='http://i/' target='_top'><img alt='桜' src='http://t/m'>",
                                 "<a href='http://i/' target='_top'><img src='http://t/m' border=0></a>",
                                 "<img alt='A &amp; B &#x27;x&#x27; &lt;y&gt;' src='http://t/a'>"}) {
    EXPECT_EQ(CheckedLookupCell(Sjis(shown), kNoPicture), Sjis(shown)) << shown;
  }
  for (std::string_view foreign :
       {"<a href='//evil.test/' target='_top'><img src='http://t/a'></a>", "<img src='http://t/a' onerror=a>",
        "<a href='http://i/' target='_top' onmouseover='a'><img src='http://t/a'></a>",
        "<img alt='x' src='data:image/gif;base64,R0lG'>", "<img src='http://t/a'></td><script>",
        "<img alt='</td><script>' src='http://t/a'>", "<img src='http://t/a' width=x>",
        "<img src='http://t/a' src='http://t/b'>", "<img alt='x'>", "<img src='http://t/a'",
        "<a href='http://i/' target='_top'>", "<b>x</b>", "a & b"}) {
    EXPECT_EQ(CheckedLookupCell(std::string(foreign), kNoPicture), kNoPicture) << foreign;
  }
  for (std::string_view shown :
       {"", "-", "<img src='http://r/s' width='12' height='12' alt='4.5'><br>4.52<br>レビュー:128件",
        "<br>4<br>レビュー: 7 件"}) {
    EXPECT_EQ(CheckedReviewCell(Sjis(shown)), Sjis(shown)) << shown;
  }
  for (std::string_view foreign :
       {"<img src='javascript:a'><br>4<br>レビュー:1件", "<img src='http://r/s' onload='a'><br>4<br>レビュー:1件",
        "<img src='s'><br>4<br>レビュー:1件", "<br><script>a</script><br>レビュー:1件", "<br>4<br>レビュー:1</td>件",
        "<br>4<br>レビュー:1", "<br>4件", "<br><b>q&amp;a</b>", "<img src='http://r/s'>x<br>4<br>レビュー:1件"}) {
    EXPECT_EQ(CheckedReviewCell(Sjis(foreign)), "-") << foreign;
  }
}

TEST(PageCell, HostilePartsGiveOnlyTheBuildersMarkup) {
  const std::tuple<std::string, std::vector<TCellAttribute>, bool> cases[] = {
      {"/item/1", {{"alt", "x' onmouseover='alert(1)"}, {"src", "http://t/a"}}, true},
      {"http://i.test/", {{"alt", "</td><script>\"><img src=x onerror=alert(1)>\r\n"}, {"src", "http://t/a"}}, true},
      {"javascript:alert(1)", {{"src", "http://t/a"}}, false},
      {"http://i.test/", {{"alt", "x"}, {"src", "JaVaScRiPt:alert(1)"}}, false},
      {"http://i.test/", {{"src", "http://t/a"}, {"onerror", "alert(1)"}}, false},
      {"http://i.test/", {{"src", "http://t/a"}, {"width", "1 onerror=a", false}}, false},
      {"http://i.test/", {{"alt", "x"}}, false},
  };
  for (const auto& [itemAddress, image, shown] : cases) {
    for (bool close : {true, false}) {
      const auto cell = PhotoCell({itemAddress, image, close, "https://mall.test"});
      ASSERT_EQ(cell.has_value(), shown) << Show(itemAddress);
      if (!cell) continue;
      EXPECT_EQ(page_test::ForeignMarkup(*cell), "") << Show(*cell);
      EXPECT_EQ(cell->ends_with("</a>"), close) << Show(*cell);
      EXPECT_EQ(CheckedLookupCell(*cell, kNoPicture), *cell);
    }
  }
}

}  // namespace
