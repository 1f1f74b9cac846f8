#include "intake/itemlines.h"

#include <vector>

#include "base/errors.h"
#include "base/files.h"
#include "base/sjisliteral.h"
#include "text/sjissearch.h"
#include "text/lines.h"

namespace {

struct TItemTexts {
  std::string fullWidthBlank = Sjis("　");
  std::string fullWidthComma = Sjis("，");
  std::string fullWidthQuote = Sjis("”");  // 81 68
  std::string priceMark = Sjis("価格");
  std::string priceStart = Sjis("価格  ");
  std::string yen = Sjis("(円)");
  std::string quantityStart = "x ";
  std::string pieces = Sjis("(個)");
  std::string separator = "----------";
  std::string emptySection = Sjis("商品欄が空です");
  std::string emptyItem = Sjis("商品の記載が空です");
  std::string noCodeEnd = Sjis("商品名の行が ) で終わっていません");
  std::string noCodeStart = Sjis("商品名の行に商品番号の ( がありません");
  std::string noPriceLine = Sjis("商品の価格の行がありません");
};

const TItemTexts& Texts() {
  static const TItemTexts texts;
  return texts;
}


// Fields 1 to 3 hold no ASCII blank or comma: each becomes its full-width form. The bytes
// 20, 2C and 22 are never trail bytes, so these byte-wise walks are safe.
std::string WidenBlanksAndCommas(std::string_view text) {
  const TItemTexts& t = Texts();
  std::string out;
  for (char c : text) {
    if (c == ' ') out += t.fullWidthBlank;
    else if (c == ',') out += t.fullWidthComma;
    else out += c;
  }
  return out;
}

// A bare field is read back up to the first byte of 20 (hex) or less or a comma, stepping
// over double-byte characters whole, so none of these may stay in it: otherwise the later
// fields shift by one column and mail text lands in a column the page takes as markup.
// Blanks and every control byte (NUL included, which would end the row) become the
// full-width blank, commas the full-width comma, double quotes the full-width quote, and a
// lead byte without its trail byte (which would swallow the comma after the field) the
// full-width blank too. Bytes below 40 are never trail bytes.
std::string BareField(std::string_view text) {
  const TItemTexts& t = Texts();
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsSjisLeadByte(c)) {
      const bool trail = i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x40 &&
                         static_cast<unsigned char>(text[i + 1]) != 0x7F;
      if (trail) {
        out.append(text.substr(i, 2));
        ++i;
      } else {
        out += t.fullWidthBlank;
      }
    } else if (c <= 0x20) {
      out += t.fullWidthBlank;
    } else if (c == ',') {
      out += t.fullWidthComma;
    } else if (c == '"') {
      out += t.fullWidthQuote;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// A lookup cell stays inside its quotes and on its row's line, whole up to its end.
std::string CellField(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    else if (c == '"') c = '\'';
  }
  return out;
}

}  // namespace

TItemStage::TItemStage(TRecentOrders& recentOrders, TProductLookup& lookup, const TSettings& settings)
    : recentOrders_(recentOrders), lookup_(lookup), settings_(settings) {}

void TItemStage::AddItemBlock(const std::string& section, const std::string& orderTime,
                              const std::string& prefecture) {
  std::vector<std::string> lines = SplitLines(section);
  if (lines.empty()) throw EVendlumeError(Texts().emptySection);
  // The first line is the "[商品]" line itself.
  std::string rest;
  for (size_t i = 1; i < lines.size(); ++i) rest += lines[i] + "\r\n";

  const std::string& separator = Texts().separator;
  for (size_t at = PosFrom(separator, rest, 1); at != 0; at = PosFrom(separator, rest, 1)) {
    AddItemRow(rest.substr(0, at - 1), orderTime, prefecture);
    // Skip the hyphens and the line break of the separator line.
    const size_t next = at - 1 + separator.size() + 2;
    rest = next < rest.size() ? rest.substr(next) : "";
  }
  AddItemRow(rest, orderTime, prefecture);
}

void TItemStage::AddItemRow(const std::string& itemText, const std::string& orderTime,
                            const std::string& prefecture) {
  const TItemTexts& t = Texts();
  lookup_.ClearReviewPageUrl();

  // The name line ends with the code in parentheses; a long name may wrap onto more lines.
  const std::vector<std::string> lines = SplitLines(itemText);
  if (lines.empty()) throw EVendlumeError(t.emptyItem);
  std::string nameLine = lines[0];
  size_t next = 1;
  while (nameLine.empty() || nameLine.back() != ')') {
    if (next >= lines.size()) throw EVendlumeError(t.noCodeEnd);
    nameLine += lines[next++];
  }
  nameLine = WidenBlanksAndCommas(nameLine);

  std::vector<size_t> opens, closes;
  FindAllPositions("(", nameLine, opens);
  FindAllPositions(")", nameLine, closes);
  if (opens.empty() || closes.empty() || opens.back() > closes.back()) throw EVendlumeError(t.noCodeStart);
  const size_t open = opens.back();
  const size_t close = closes.back();
  const std::string name = nameLine.substr(0, open - 1);
  const std::string code = nameLine.substr(open, close - open - 1);

  // Option lines between the name and the price line go into no row.
  const std::string* priceLine = nullptr;
  for (size_t i = next; i < lines.size() && !priceLine; ++i) {
    if (Contains(lines[i], t.priceMark) && Contains(lines[i], t.yen) && Contains(lines[i], t.pieces)) {
      priceLine = &lines[i];
    }
  }
  if (!priceLine) throw EVendlumeError(t.noPriceLine);
  const std::string price = TextBetween(*priceLine, t.priceStart, t.yen);
  const std::string quantity = TextBetween(*priceLine, t.quantityStart, t.pieces);

  TLookupResult image = lookup_.LookupByCode(code);
  if (image.outcome == TLookupResult::kNothing) image = lookup_.LookupByName(name);

  if (orderTime.empty() || name.empty() || code.empty() || prefecture.empty() || price.empty() ||
      quantity.empty()) {
    return;
  }
  const TLookupResult review = lookup_.LookupReviews();

  TOrderRow row;
  row.date = BareField(orderTime);
  row.name = BareField(name);
  row.code = BareField(code);
  row.lookup = CellField(image.outcome == TLookupResult::kFailed ? kFailedLookupCell : image.cell);
  row.prefecture = BareField(prefecture);
  row.price = BareField(price);
  row.quantity = BareField(quantity);
  row.review = CellField(review.outcome == TLookupResult::kFound ? review.cell : kNoReviewCell);
  InsertRecentOrder(recentOrders_, std::move(row), settings_.Count);
  ++rowsAdded_;
}
