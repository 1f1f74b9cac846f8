#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/settingsrecord.h"
#include "base/sjisliteral.h"
#include "base/netexceptions.h"
#include "publish/productlookup.h"
#include "support/testing.h"

namespace {

using namespace std::string_literals;
using testing_support::Show;

// A page source that answers every address with the same page (or fails) and keeps the
// addresses it was asked for.
struct TFakeWeb {
  std::string page;
  bool fail = false;
  std::vector<std::string> asked;

  TMallLookup::TPageFetch Fetcher() {
    return [this](const std::string& url) {
      asked.push_back(url);
      if (fail) throw ENetSocketError(10060, "Socket Error # 10060\r\nConnection timed out.");
      return page;
    };
  }
};

// Search pages are UTF-8, as the mall sends them (this source file is UTF-8 too).
const std::string kBeforeResults =
    "<html><head><title>検索結果</title></head><body>\r\n"
    // A photo section before the first result (an advertisement) must not be taken.
    "<div class=\"rsrSResultPhoto\"><a href=\"http://ad.test/\"><img alt=\"ad\"></a></div>\r\n";

std::string Photo(const std::string& thumbnailSize) {
  return "<div class=\"rsrSResultPhoto\">\r\n"
         "\t<a href=\"http://item.test/shop/mug-001/\">\r\n"
         "\t\t<img alt=\"桜のマグ\" src=\"http://thumb.test/@0_mall/shop/cabinet/mug.jpg?_ex=" +
         thumbnailSize + "\">\r\n"
         "\t</a>\r\n"
         "</div>\r\n";
}

std::string Result(int position, const std::string& photo, const std::string& reviewLine) {
  return "<div class=\"searchresultitem\" itemPosition=\"" + std::to_string(position) + "\">\r\n" + photo +
         "<a href=\"http://item.test/shop/" + std::to_string(position) + "/\">桜のマグ</a>\r\n" + reviewLine +
         "</div>\r\n";
}

std::string ReviewLine(const std::string& address) {
  return "<a href=\"" + address + "\"><span class=\"txtIconReview\">レビュー</span>(12件)</a>\r\n";
}

std::string SearchPage(const std::string& first, const std::string& second) {
  return kBeforeResults + first + second + "</body></html>\r\n";
}

const std::string kStandardPage =
    SearchPage(Result(1, Photo("96x96"), ReviewLine("http://review.test/item/1/shop/mug/")),
               Result(2, Photo("96x96"), ReviewLine("http://review.test/item/1/shop/other/")));

const std::string kCodeCell =
    "<a href='http://item.test/shop/mug-001/' target='_top'><img alt='桜のマグ' "
    "src='http://thumb.test/@0_mall/shop/cabinet/mug.jpg?_ex=48x48'></a>";
const std::string kNameCell =
    "<a href='http://item.test/shop/mug-001/' target='_top'><img alt='桜のマグ' "
    "src='http://thumb.test/@0_mall/shop/cabinet/mug.jpg?_ex=48x48'>";
const std::string kFirstReviewPage = "http://review.test/item/1/shop/mug/";

TLookupResult Found(const std::string& cell) { return {TLookupResult::kFound, cell}; }
TLookupResult Nothing(const std::string& cell = "") { return {TLookupResult::kNothing, cell}; }
const TLookupResult kFailed{TLookupResult::kFailed, ""};

void ExpectOneLineWithoutQuotes(const std::string& cell) {
  EXPECT_EQ(cell.find_first_of("\r\n\"\0"s), std::string::npos) << Show(cell);
}

class MallLookup : public ::testing::Test {
 protected:
  std::string shopName = Sjis("花屋");
  TMallHosts hosts{"search.test:8080", "thumb.test", "script.test"};
  TFakeWeb pageHttp;
  TFakeWeb netHttp;
  std::vector<int> logged;
  TMallLookup lookup{pageHttp.Fetcher(), netHttp.Fetcher(), [this](int code) { logged.push_back(code); },
                     shopName, hosts};
};

TEST_F(MallLookup, SearchAddressJoinsShopAndKeywordInUtf8) {
  EXPECT_EQ(lookup.LookupByCode("ab-12"), Nothing());
  EXPECT_EQ(pageHttp.asked,
            std::vector<std::string>{"http://search.test:8080/search/mall/%E8%8A%B1%E5%B1%8B+ab%E2%80%9512/?f=0"});
  EXPECT_TRUE(netHttp.asked.empty());

  // The name goes to the other client, with "/", "-" and "." made full-width.
  EXPECT_EQ(lookup.LookupByName("A/B-C.D"),
            Nothing("<img border=0 src='http://thumb.test/@0_mall/com/css/c/pc/img/nopicture/nopicture.gif?_ex=48x48'>"));
  EXPECT_EQ(netHttp.asked, std::vector<std::string>{
                               "http://search.test:8080/search/mall/%E8%8A%B1%E5%B1%8B+A%EF%BC%8FB%E2%80%95C%EF%BC%8ED/?f=0"});

  // The shop name changes with the mails and is read at each lookup; a blank becomes "+".
  shopName = "My Shop";
  lookup.LookupByCode(Sjis("桜 1"));
  EXPECT_EQ(pageHttp.asked.back(), "http://search.test:8080/search/mall/My+Shop+%E6%A1%9C+1/?f=0");
  EXPECT_TRUE(logged.empty());
}

TEST_F(MallLookup, CodeLookupCutsTheFirstResultsPhotoLink) {
  pageHttp.page = kStandardPage;
  const std::string cell = lookup.LookupByCode("mug-001").cell;
  EXPECT_EQ(cell, Sjis(kCodeCell)) << Show(cell);
  ExpectOneLineWithoutQuotes(cell);
  EXPECT_EQ(lookup.ReviewPageUrl(), kFirstReviewPage);
  EXPECT_TRUE(logged.empty());

  lookup.ClearReviewPageUrl();
  EXPECT_EQ(lookup.ReviewPageUrl(), "");
}

TEST_F(MallLookup, NameLookupLeavesTheAnchorOpen) {
  netHttp.page = kStandardPage;
  const std::string cell = lookup.LookupByName(Sjis("桜のマグ")).cell;
  EXPECT_EQ(cell, Sjis(kNameCell)) << Show(cell);
  ExpectOneLineWithoutQuotes(cell);
  EXPECT_EQ(lookup.ReviewPageUrl(), kFirstReviewPage);
}

TEST_F(MallLookup, AnyKindOfLineEndWorks) {
  for (const char* lineEnd : {"\n", "\r"}) {
    std::string page = kStandardPage;
    for (size_t p = page.find("\r\n"); p != std::string::npos; p = page.find("\r\n", p + 1)) page.replace(p, 2, lineEnd);
    pageHttp.page = netHttp.page = page;
    EXPECT_EQ(lookup.LookupByCode("mug-001"), Found(Sjis(kCodeCell)));
    EXPECT_EQ(lookup.LookupByName("mug"), Found(Sjis(kNameCell)));
  }
}

TEST_F(MallLookup, ThumbnailSizesOfTheSearchPageBecome48) {
  const std::pair<std::string, std::string> sizes[] = {
      {"96x96", "48x48"}, {"64x64", "48x48"}, {"112x112", "48x48"}, {"128x128", "128x128"}, {"48x48", "48x48"}};
  for (const auto& [found, stored] : sizes) {
    pageHttp.page = SearchPage(Result(1, Photo(found), ""), "");
    const std::string cell = lookup.LookupByCode("mug-001").cell;
    EXPECT_NE(cell.find("?_ex=" + stored + "'>"), std::string::npos) << found << ": " << Show(cell);
  }
}

TEST_F(MallLookup, ReviewIconOfTheSecondResultIsNotTaken) {
  pageHttp.page = SearchPage(Result(1, Photo("96x96"), ""), Result(2, Photo("96x96"), ReviewLine("http://review.test/2/")));
  EXPECT_EQ(lookup.LookupByCode("mug-001"), Found(Sjis(kCodeCell)));
  EXPECT_EQ(lookup.ReviewPageUrl(), "");
  EXPECT_EQ(lookup.LookupReviews(), Nothing());
  EXPECT_TRUE(netHttp.asked.empty());
}

TEST_F(MallLookup, ReviewIconOnTheFirstResultsOwnLine) {
  // The marker line itself is searched for the first link, from its start.
  pageHttp.page = SearchPage("<div itemPosition=\"1\">" + Photo("96x96") + ReviewLine("http://review.test/a/"), "");
  lookup.LookupByCode("x");
  EXPECT_EQ(lookup.ReviewPageUrl(), "http://review.test/a/");
}

TEST_F(MallLookup, IncompleteReviewLinkMarksTheAddressAsError) {
  const std::string broken = "<span class=\"txtIconReview\">レビュー</span>\r\n";
  // An address running over a line break would carry a header into the request.
  const std::string splitOverLines = "<span class=\"txtIconReview\"><a href=\"http://review.test/\r\nHost: evil.test\">\r\n";
  for (const std::string& reviewLine : {broken, splitOverLines}) {
    lookup.ClearReviewPageUrl();
    pageHttp.page = SearchPage(Result(1, Photo("96x96"), reviewLine), "");
    EXPECT_EQ(lookup.LookupByCode("x"), Found(Sjis(kCodeCell)));
    EXPECT_EQ(lookup.ReviewPageUrl(), "Error");
    EXPECT_EQ(lookup.LookupReviews(), Nothing());
  }
  EXPECT_TRUE(netHttp.asked.empty());

  // A later search by name may replace "Error"...
  netHttp.page = kStandardPage;
  lookup.LookupByName("mug");
  EXPECT_EQ(lookup.ReviewPageUrl(), kFirstReviewPage);
  // ...but never an address already found.
  netHttp.page = SearchPage(Result(1, Photo("96x96"), ReviewLine("http://review.test/other/")), "");
  lookup.LookupByName("mug");
  EXPECT_EQ(lookup.ReviewPageUrl(), kFirstReviewPage);
}

TEST_F(MallLookup, NoFirstResultGivesEachLookupsOwnValue) {
  pageHttp.page = netHttp.page = SearchPage(Result(2, Photo("96x96"), ReviewLine("http://review.test/2/")), "");
  EXPECT_EQ(lookup.LookupByCode("x"), Nothing());
  EXPECT_EQ(lookup.LookupByName("x"),
            Nothing("<img border=0 src='http://thumb.test/@0_mall/com/css/c/pc/img/nopicture/nopicture.gif?_ex=48x48'>"));
  EXPECT_EQ(lookup.ReviewPageUrl(), "");
  EXPECT_TRUE(logged.empty());
}

TEST_F(MallLookup, FirstResultWithoutCompletePhotoLinkGivesABlank) {
  const std::string noPhoto = "<div class=\"other\"><a href=\"http://item.test/\">x</a></div>\r\n";
  const std::string noLinkEnd = "<div class=\"rsrSResultPhoto\"><a href=\"http://item.test/\"><img alt=\"x\"></div>\r\n";
  const std::string noLinkStart = "<div class=\"rsrSResultPhoto\"><img alt=\"x\"></a></div>\r\n";
  for (const std::string& photo : {noPhoto, noLinkEnd, noLinkStart}) {
    const std::string page = SearchPage(Result(1, photo, ReviewLine("http://review.test/new/")), "");
    // The address of an earlier lookup stays; none is taken from this page.
    pageHttp.page = kStandardPage;
    lookup.LookupByCode("x");
    pageHttp.page = page;
    EXPECT_EQ(lookup.LookupByCode("x"), kFailed) << Show(photo);
    EXPECT_EQ(lookup.ReviewPageUrl(), kFirstReviewPage);

    lookup.ClearReviewPageUrl();
    netHttp.page = page;
    EXPECT_EQ(lookup.LookupByName("x"), kFailed) << Show(photo);
    EXPECT_EQ(lookup.ReviewPageUrl(), "");
  }
  EXPECT_TRUE(logged.empty());
}

TEST_F(MallLookup, FetchFailuresAreLoggedAndGiveABlank) {
  pageHttp.page = kStandardPage;
  lookup.LookupByCode("x");
  pageHttp.fail = netHttp.fail = true;
  EXPECT_EQ(lookup.LookupByCode("x"), kFailed);
  EXPECT_EQ(lookup.LookupByName("x"), kFailed);
  EXPECT_EQ(logged, (std::vector<int>{3, 4}));
  EXPECT_EQ(lookup.ReviewPageUrl(), kFirstReviewPage);
}

TEST_F(MallLookup, StrayUtf8ByteFailsTheSearch) {
  for (const std::string& stray : {"\x80"s, "\xBF"s}) {
    logged.clear();
    pageHttp.page = netHttp.page = kStandardPage + stray + "tail\r\n";
    EXPECT_EQ(lookup.LookupByCode("x"), kFailed);
    EXPECT_EQ(lookup.LookupByName("x"), kFailed);
    EXPECT_EQ(logged, (std::vector<int>{3, 4}));
  }
  EXPECT_EQ(lookup.ReviewPageUrl(), "");
}

// The review page in the given text code: the Japanese pieces are passed encoded.
std::string ReviewPage(const std::string& title, const std::string& summary, const std::string& ken,
                       const std::string& average) {
  return "<html><head><title>" + title + "</title></head><body>\r\n"
         "<div class=\"revSummary\">" + summary + "\r\n"
         "<span class=\"revEvaStar\"><img src=\"http://r.test/star45.gif\" width=\"26\" height=\"24\" alt=\"4.5\"></span>\r\n" +
         average + "(<span class=\"Count\">128</span>" + ken + ")</div>\r\n</body></html>\r\n";
}

const std::string kAverage = "<span class=\"revEvaNumber average\">4.52</span>\r\n";
const std::string kReviewCell =
    "<img src='http://r.test/star45.gif' width='12' height='12' alt='4.5'><br>4.52<br>レビュー:128件";

TEST_F(MallLookup, ReviewFiguresFromShiftJisAndEucPages) {
  pageHttp.page = kStandardPage;
  lookup.LookupByCode("mug-001");
  const std::string pages[] = {
      ReviewPage(Sjis("黒"), Sjis("総合評価"), Sjis("件"), kAverage),
      // EUC-JP: 黒 B9F5, 総合評価 C1ED B9E7 C9BE B2C1, 件 B7EF
      ReviewPage("\xB9\xF5", "\xC1\xED\xB9\xE7\xC9\xBE\xB2\xC1", "\xB7\xEF", kAverage),
  };
  for (const std::string& page : pages) {
    netHttp.page = page;
    const std::string cell = lookup.LookupReviews().cell;
    EXPECT_EQ(cell, Sjis(kReviewCell)) << Show(cell);
    ExpectOneLineWithoutQuotes(cell);
  }
  EXPECT_EQ(netHttp.asked, (std::vector<std::string>{kFirstReviewPage, kFirstReviewPage}));
}

TEST_F(MallLookup, ReviewCellIsAllOrNothing) {
  pageHttp.page = kStandardPage;
  lookup.LookupByCode("mug-001");
  netHttp.page = ReviewPage(Sjis("黒"), Sjis("総合評価"), Sjis("件"), "");
  EXPECT_EQ(lookup.LookupReviews(), Nothing());
  netHttp.page = ReviewPage(Sjis("黒"), "", Sjis("件"), kAverage);
  EXPECT_EQ(lookup.LookupReviews(), Nothing());
}

TEST_F(MallLookup, ReviewFiguresSpreadOverLinesStayOnOneLine) {
  pageHttp.page = kStandardPage;
  lookup.LookupByCode("mug-001");
  netHttp.page = Sjis("総合評価<span class=\"revEvaStar\"><img\r\nsrc=\"/s.gif\"></span>"
                      "<span class=\"revEvaNumber average\">4</span>"
                      "<span class=\"Count\">\n7\n</span>件");
  EXPECT_EQ(lookup.LookupReviews(), Found(Sjis("<img src='http://review.test/s.gif'><br>4<br>レビュー: 7 件")));
}

// From the mall's pages only the photo link's address, alt and src (relative ones made absolute)
// and the review figures reach a cell, as text; a link that is not safe gives the no-picture cell.
TEST_F(MallLookup, HostilePagesGiveOnlyTheProgramsMarkup) {
  const std::pair<std::string, std::string> photos[] = {
      {"<a href=\"/i/\" onclick=\"a\"><img alt=\"x' b='c&amp;\" src=\"/x.jpg\" ONERROR=a></a><script>",
       "<a href='http://search.test:8080/i/' target='_top'><img alt='x&#x27; b=&#x27;c&amp;' "
       "src='http://search.test:8080/x.jpg'></a>"},
      {"<a href=\"&#106;avascript:a\"><img alt=\"x\" src=\"http://t/x.jpg\"></a>", NoPictureCell(hosts)}};
  for (const auto& [photo, cell] : photos) {
    pageHttp.page = SearchPage(Result(1, "<div class=\"rsrSResultPhoto\">" + photo + "</div>\r\n", ""), "");
    EXPECT_EQ(lookup.LookupByCode("x"), Found(cell));
  }
  pageHttp.page = kStandardPage;
  lookup.LookupByCode("mug-001");
  netHttp.page = Sjis("総合評価<span class=\"revEvaStar\"><img src=\"javascript:a\"></span><span class=\"revEvaNumber "
                      "average\"><script>a</script></span><span class=\"Count\">7</span>件");
  EXPECT_EQ(lookup.LookupReviews(), Found(Sjis("<br>&lt;script&gt;a&lt;/script&gt;<br>レビュー:7件")));
  EXPECT_TRUE(logged.empty());
}

TEST_F(MallLookup, ReviewPageThatCannotBeHadIsLoggedOnceAndGivesNoFigures) {
  pageHttp.page = kStandardPage;
  lookup.LookupByCode("mug-001");
  netHttp.fail = true;
  EXPECT_EQ(lookup.LookupReviews(), kFailed);
  EXPECT_EQ(logged, (std::vector<int>{2}));
}

}  // namespace

TEST(MallAddress, AHostSettingMayNameItsScheme) {
  const struct {
    const char* setting;
    const char* address;
  } cases[] = {
      {"search.rakuten.co.jp", "http://search.rakuten.co.jp"},
      {"127.0.0.1:8080", "http://127.0.0.1:8080"},
      {"https://search.example.jp", "https://search.example.jp"},
      {"https://search.example.jp:8443/", "https://search.example.jp:8443"},
      {"http://127.0.0.1:81", "http://127.0.0.1:81"},
  };
  for (const auto& c : cases) EXPECT_EQ(MallAddress(c.setting), c.address) << c.setting;
}
