// Mail text on its way from the item stage through the list row into the page: whatever a
// sender writes, a row splits back into its eight fields and the text never becomes markup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/sjisliteral.h"
#include "intake/itemlines.h"
#include "publish/statuspage.h"

namespace {

class TFixedLookup : public TProductLookup {
 public:
  void ClearReviewPageUrl() override {}
  TLookupResult LookupByCode(const std::string&) override { return {TLookupResult::kFound, "<img src='thumb'>"}; }
  TLookupResult LookupByName(const std::string&) override { return {TLookupResult::kFound, ""}; }
  TLookupResult LookupReviews() override { return {TLookupResult::kFound, "<br>4.5"}; }
};

const std::string kTime = "10/24 09:05";

// The line of the row the item stage makes for one item of name line, price and quantity texts.
std::string RowFor(const std::string& nameLine, const std::string& price, const std::string& quantity,
                   const std::string& prefecture = Sjis("東京都"), const std::string& time = kTime) {
  TRecentOrders rows;
  TFixedLookup lookup;
  TSettings settings;
  const std::string item = Sjis("[商品]\r\n") + nameLine + "\r\n" + Sjis("価格  ") + price + Sjis("(円) x ") +
                           quantity + Sjis("(個) = 1(円)\r\n");
  TItemStage(rows, lookup, settings).AddItemBlock(item, time, prefecture);
  EXPECT_EQ(rows.size(), 1u);
  return rows.empty() ? "" : EncodeOrderRow(rows[0]);
}

std::vector<std::string> SplitRow(const std::string& line) {
  const TOrderRow r = DecodeOrderRow(line);
  if (r.shape != TOrderRow::kWhole || r.lineAsRead) return {};
  return {r.date, r.name, r.code, r.lookup, r.prefecture, r.price, r.quantity, r.review};
}

void ExpectEightFieldsAndNoMarkup(const std::string& row, const std::string& what) {
  const std::vector<std::string> f = SplitRow(row);
  ASSERT_EQ(f.size(), 8u) << what;
  EXPECT_EQ(f[3], "<img src='thumb'>") << what;
  EXPECT_EQ(f[7], "<br>4.5") << what;
  TSettings settings;
  settings.Review = true;
  const std::string page = BuildStatusPage({DecodeOrderRow(row)}, settings, true);
  const std::string body = page.substr(page.find("<tbody>"));
  // The only tags in the row line are the cells' own and the two lookup texts.
  EXPECT_EQ(body.find("<img src=x"), std::string::npos) << what;
  EXPECT_EQ(body.find("<b>"), std::string::npos) << what;
}

TEST(MailTextInARow, HostilePayloadsStayInTheirFields) {
  struct Case {
    const char* what;
    std::string nameLine, price, quantity;
  };
  const std::string img = "<img src=x onerror=alert(1)>";
  const std::vector<Case> cases = {
      {"tabs in the name", "A\tB\t" + img + " (X1)", "1200", "2"},
      {"blank in the quantity", Sjis("桜 (X1)"), "1200", "1 " + img},
      {"blank in the price", Sjis("桜 (X1)"), "1200 " + img, "2"},
      {"tab in the code", Sjis("桜 (X1\t") + img + ")", "1200", "2"},
      {"form feed in the quantity", Sjis("桜 (X1)"), "1200", "1\f" + img},
      {"markup in the name", "<b>bold</b> (X1)", "1200", "2"},
      {"comma and quote in the quantity", Sjis("桜 (X1)"), "1200", "2,\"" + img},
  };
  for (const Case& c : cases) ExpectEightFieldsAndNoMarkup(RowFor(c.nameLine, c.price, c.quantity), c.what);
  // A lead byte without its trail byte at a field's end would take the comma after it.
  ExpectEightFieldsAndNoMarkup(RowFor(Sjis("桜 (X1)"), "1200", "2", "<b>\x82"), "lone lead byte");
}

TEST(MailTextInARow, EveryControlByteBecomesTheFullWidthBlank) {
  const std::string blank = Sjis("　");
  for (int b = 0; b <= 0x20; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string what = "byte " + std::to_string(b);
    // CR and LF end the mail's lines before any field is read.
    if (b != '\r' && b != '\n') {
      const std::string row = RowFor("A" + byte + "B (C" + byte + "D)", "12" + byte + "00", "3" + byte + "4");
      ExpectEightFieldsAndNoMarkup(row, what);
      const std::vector<std::string> f = SplitRow(row);
      if (f.size() == 8) {
        EXPECT_EQ(f[1], "A" + blank + "B" + blank) << what;
        EXPECT_EQ(f[2], "C" + blank + "D") << what;
        EXPECT_EQ(f[5], "12" + blank + "00") << what;
        EXPECT_EQ(f[6], "3" + blank + "4") << what;
      }
    }
    // The order time and the prefecture come from the parser and are mapped alike.
    const std::string row = RowFor(Sjis("桜 (X1)"), "1200", "2", Sjis("東") + byte + "x", "10/24" + byte + "09:05");
    ExpectEightFieldsAndNoMarkup(row, what + " in time and prefecture");
    const std::vector<std::string> f = SplitRow(row);
    if (f.size() == 8) {
      EXPECT_EQ(f[0], "10/24" + blank + "09:05") << what;
      EXPECT_EQ(f[4], Sjis("東") + blank + "x") << what;
    }
  }
}

}  // namespace
