// Mail text on its way to the page: the pieces of one item (name, code, an option line,
// price, quantity) and the order's time and prefecture, each beginning with the marker
// "<x" (but the price, which the page shows only as a number), go through the item stage into a recent-orders row; the row is split again and the
// page rendered. Whatever the pieces hold:
//   - the page holds no "<x" (any case): mail text is never markup, only escaped cell text;
//   - every row the stage adds reads back from its line unchanged, the lookup's cells where
//     they were written, and gives the page exactly one table row.
// Input: a settings byte (date and code columns, reviews, name length), then each piece as a
// length byte and its bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/sjisliteral.h"
#include "intake/itemlines.h"
#include "publish/statuspage.h"

namespace {

// Cells as the lookup gives them (their double quotes would become single ones in the row).
const std::string kImageCell = "<a href=http://mall.example/i/1><img src=t.jpg?ex=48x48></a>";
const std::string kReviewCell = "<a href=http://mall.example/r/1>4.5</a>";

class FixedLookup : public TProductLookup {
 public:
  void ClearReviewPageUrl() override {}
  TLookupResult LookupByCode(const std::string&) override { return {TLookupResult::kFound, kImageCell}; }
  TLookupResult LookupByName(const std::string&) override { return {TLookupResult::kFound, kImageCell}; }
  TLookupResult LookupReviews() override { return {TLookupResult::kFound, kReviewCell}; }
};

std::string NextPiece(const uint8_t*& p, const uint8_t* end, bool marked = true) {
  std::string piece = marked ? "<x" : "";
  if (p == end) return piece;
  const uint8_t declared = *p++;
  const size_t length = std::min<size_t>(declared, static_cast<size_t>(end - p));
  piece.append(reinterpret_cast<const char*>(p), length);
  p += length;
  return piece;
}

bool HasMarker(std::string_view page) {
  for (size_t at = page.find('<'); at != std::string_view::npos; at = page.find('<', at + 1))
    if (at + 1 < page.size() && (page[at + 1] == 'x' || page[at + 1] == 'X')) return true;
  return false;
}

size_t Count(std::string_view text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t* p = data + 1;
  const uint8_t* const end = data + size;
  TSettings settings;
  settings.Date = data[0] & 1;
  settings.Code = data[0] & 2;
  settings.Review = data[0] & 4;
  settings.HinLen = data[0] >> 3;

  const std::string name = NextPiece(p, end), code = NextPiece(p, end),
                    option = NextPiece(p, end), price = NextPiece(p, end, false),
                    quantity = NextPiece(p, end), orderTime = NextPiece(p, end),
                    prefecture = NextPiece(p, end);
  static const std::string priceStart = Sjis("価格  "), yen = Sjis("(円)"), pieces = Sjis("(個)");
  const std::string item = name + "(" + code + ")\r\n" + option + "\r\n" + priceStart + price +
                           yen + " x " + quantity + pieces + "\r\n";

  TRecentOrders rows;
  FixedLookup lookup;
  TItemStage stage(rows, lookup, settings);
  try {
    stage.AddItemRow(item, orderTime, prefecture);
  } catch (const EVendlumeError&) {  // a malformed item: no row
  }
  for (const TOrderRow& row : rows) {
    if (DecodeOrderRow(EncodeOrderRow(row)) != row || row.lookup != kImageCell || row.review != kReviewCell) std::abort();
  }
  const std::string page = BuildStatusPage(rows, settings, false);
  if (HasMarker(page)) std::abort();
  if (Count(page, "<tr align=Left>") != rows.size()) std::abort();
  return 0;
}
