#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/sjisliteral.h"
#include "publish/pagecell.h"
#include "support/testing.h"

namespace {

using testing_support::Show;

const std::string kNoPicture = "<img border=0 src='http://t/n.gif'>";

TEST(SafeAddress, OnlyWebAddressesAndMallPathsPass) {
  EXPECT_EQ(SafeAddress("HTTPS://i.test/a?b=1&c=2", ""), "HTTPS://i.test/a?b=1&c=2");
  EXPECT_EQ(SafeAddress("/shop/mug.jpg", "https://mall.test"), "https://mall.test/shop/mug.jpg");
  EXPECT_EQ(SafeAddress("/shop/mug.jpg", ""), std::nullopt);  // no origin (a stored cell): no address
  for (std::string address : {"http://", "http:///e", "http:i", "JavaScript:a", "data:text/html,x", "//e/x", "s.gif"})
    EXPECT_EQ(SafeAddress(address, "https://mall.test"), std::nullopt) << address;
  for (char c : std::string_view("'\"<>\\` \t\x01\x7F"))
    EXPECT_EQ(SafeAddress("http://i/a" + std::string(1, c), ""), std::nullopt) << int{c};
}

// Text from the mall stays text in a built cell, and the page shows the cell back as it is.
TEST(PageCell, BuiltCellsEscapeTheirTextAndAreShownBack) {
  const auto cell =
      PhotoCell({"/item/1", {{"alt", "x' a=\"</td>\r\n"}, {"src", "/m"}, {"width", "9", false}}, true, "http://m"});
  ASSERT_TRUE(cell);
  EXPECT_EQ(*cell, "<a href='http://m/item/1' target='_top'><img alt='x&#x27; a=&quot;&lt;/td&gt; ' "
                   "src='http://m/m' width=9></a>");
  EXPECT_EQ(CheckedLookupCell(*cell, kNoPicture), *cell);
  const auto open = PhotoCell({"http://i/", {{"src", "http://t/m"}}, false, ""});
  EXPECT_EQ(open, "<a href='http://i/' target='_top'><img src='http://t/m'>");
  EXPECT_EQ(CheckedLookupCell(*open, kNoPicture), *open);
  const std::string review = ReviewCell({{{"src", "/s"}, {"alt", "4'5"}}, "<b>4</b>", "1\r\n2", "http://r"});
  EXPECT_EQ(review, Sjis("<img src='http://r/s' alt='4&#x27;5'><br>&lt;b&gt;4&lt;/b&gt;<br>レビュー:1 2件"));
  EXPECT_EQ(CheckedReviewCell(review), review);
}

// A stored cell the builders could not have written gives way to the no-picture image
// (lookup) or "-" (review).
TEST(PageCell, StoredCellsAreShownOnlyInTheBuildersGrammar) {
  for (std::string foreign :
       {"<img src='http://t/a' onerror=a>", "<img src='http://t/a'></td><script>", "<img alt='</td>' src='http://t/a'>",
        "<img src='http://t/a' width=x>", "<img src='http://t/a' src='http://t/b'>", "<img alt='x'>",
        "<img src='http://t/a'", "<a href='http://i/' target='_top'>", "a & b"})
    EXPECT_EQ(CheckedLookupCell(foreign, kNoPicture), kNoPicture) << foreign;
  EXPECT_EQ(CheckedReviewCell(Sjis("<br>4<br>レビュー: 7 件")), Sjis("<br>4<br>レビュー: 7 件"));
  for (std::string foreign :
       {"<img src='http://r/s' onload='a'><br>4<br>レビュー:1件", "<img src='http://r/s'>x<br>4<br>レビュー:1件",
        "<br><s>a</s><br>レビュー:1件", "<br>4<br>レビュー:1</td>件", "<br>4<br>レビュー:1", "<br>4件"})
    EXPECT_EQ(CheckedReviewCell(Sjis(foreign)), "-") << foreign;
}

}  // namespace
