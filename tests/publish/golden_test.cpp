// Whole pages for fixed states, compared byte for byte with checked-in files. After an
// intended change of the page, run the test program with VDL_WRITE_GOLDEN=1 to rewrite the
// files, and review the difference before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "publish/page_helpers.h"
#include "publish/statuspage.h"
#include "support/testing.h"

namespace {

using page_test::List;
using page_test::Lines;
using page_test::Row;

std::string GoldenPath(const std::string& name) {
  return testing_support::SourceDir() + "/tests/publish/golden/" + name;
}

void ExpectGolden(const std::string& name, const std::string& page) {
  if (platform::ThousandSeparator() != ",") {
    GTEST_SKIP() << "the golden pages group prices with \",\"";
  }
  const std::string path = GoldenPath(name);
  if (std::getenv("VDL_WRITE_GOLDEN")) testing_support::WriteAll(path, page);
  ASSERT_TRUE(testing_support::FileExists(path)) << path;
  const std::string golden = testing_support::ReadAll(path);
  if (golden == page) return;
  const std::vector<std::string> want = Lines(golden), got = Lines(page);
  for (size_t i = 0; i < want.size() || i < got.size(); ++i) {
    const std::string w = i < want.size() ? want[i] : "<none>";
    const std::string g = i < got.size() ? got[i] : "<none>";
    if (w != g) {
      ADD_FAILURE() << name << " differs at line " << i + 1 << "\n want: " << testing_support::Show(w)
                    << "\n  got: " << testing_support::Show(g);
      return;
    }
  }
  ADD_FAILURE() << name << " differs in its line ends";
}

const char kMugLink[] =
    "<a href='http://item.rakuten.co.jp/shop/mug-001/' target='_top'>"
    "<img src='http://thumbnail.image.rakuten.co.jp/@0_mall/shop/cabinet/mug.jpg?_ex=48x48' border=0></a>";
const char kNoPicture[] =
    "<img border=0 src='http://thumbnail.image.rakuten.co.jp/@0_mall/com/css/c/pc/img/nopicture/nopicture.gif?_ex=48x48'>";
const char kStars[] =
    "<img src='http://r.r10s.jp/com/img/home/review/star45.gif'><br>4.50<br>レビュー:12件";

TRecentOrders SampleList() {
  return List({
      Row("10/24　09:05", "桜のマグカップ　", "mug-001", kMugLink, "東京都", "1980", "2", kStars),
      Row("10/24　08:41", "特価　(A)　本体　", "B-2", "(該当なし)", "国外", "Error", "1", "-"),
      Row("10/23　22:17", "北海道産　じゃがいも　10kg　箱入り　送料無料　お歳暮　ギフト　",
          "imo-10", kNoPicture, "北海道", "1234567", "Error", ""),
      // From an older list file: no review field.
      Sjis("10/23　21:00,古い行,old-1,\" \",大阪府,500,3"),
  });
}

TEST(StatusPageGolden, Defaults) {
  ExpectGolden("defaults.html", BuildStatusPage(SampleList(), TSettings{}, false));
}

TEST(StatusPageGolden, EveryOptionOnHouseMachine) {
  TSettings s;
  s.Review = true;
  s.LineLink = true;
  s.FadeIn = true;
  s.Table = 0;
  s.HinLen = 10;
  s.GazouSize = 64;
  s.Font = "clNavy";
  s.Back = "$00E0F0FF";
  s.HoverFont = "clWhite";
  s.HoverBack = "$000080FF";
  s.AddText = "<link rel=stylesheet href='shop.css'>\r\n<img src='http://example.jp/banner.gif?_ex=48x48'>";
  TRecentOrders rows = SampleList();
  rows.insert(rows.begin() + 1, DecodeOrderRow(Sjis("10/24　08:59,壊れた行")));
  ExpectGolden("all_options.html", BuildStatusPage(rows, s, true));
}

TEST(StatusPageGolden, OnlyTheFixedColumns) {
  TSettings s;
  s.Date = false;
  s.Code = false;
  s.Table = 320;
  s.HinLen = 0;
  s.GazouSize = 32;
  ExpectGolden("fixed_columns.html", BuildStatusPage(SampleList(), s, false));
}

}  // namespace
