// The mall's pages to the shop's page: a byte choosing the path (bit 0: the by-code search finds nothing, so the
// by-name one is taken), the search page, NUL and the review page go to the lookup, the row to its line and the page,
// which is the one with neutral lookup and review cells but for those, each the builders' markup with web addresses.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/sjisliteral.h"
#include "intake/itemlines.h"
#include "publish/page_helpers.h"
#include "publish/productlookup.h"
#include "publish/statuspage.h"

namespace {

// The page with the contents of the cell opened by `open` moved to `contents`, `with` in their place.
std::string TakeCell(const std::string& page, const std::string& open, const std::string& with, std::string& contents) {
  const size_t at = page.find(open), to = page.find("</td>", at);
  if (to == std::string::npos) std::abort();
  contents = page.substr(at + open.size(), to - at - open.size());
  return page.substr(0, at + open.size()) + with + page.substr(to);
}

// Whether an address is an absolute http: or https: one (any case) without blank, control byte, '"' or '<'.
bool IsWebAddress(std::string_view address) {
  std::string scheme(address.substr(0, 8));
  for (char& c : scheme) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  const auto bad = [](unsigned char c) { return c <= 0x20 || c == 0x7F || c == '"' || c == '<'; };  // ' and > end it
  return (scheme.starts_with("http://") || scheme.starts_with("https://")) && std::ranges::none_of(address, bad);
}

// The cell's markup is the builders' once its text is left out (text may say "javascript:" harmlessly, but
// holds no ">" or double quote), each href or src address checked and each alt text written as "x".
void CheckCell(const std::string& cell) {
  std::string markup;
  for (size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] == '>' || cell[i] == '"') std::abort();
    if (cell[i] != '<') continue;
    const size_t close = std::min(cell.find('>', i), cell.size() - 1);  // a tag that does not end fails below
    std::string tag = cell.substr(i, close + 1 - i);
    for (const std::string_view name : {" href='", " src='", " alt='"}) {
      for (size_t at = tag.find(name); at != std::string::npos; at = tag.find(name, at + 1)) {
        const size_t from = at + name.size(), to = tag.find('\'', from);
        if (name != " alt='" && !IsWebAddress(std::string_view(tag).substr(from, to - from))) std::abort();
        tag.replace(from, to - from, name == " alt='" ? "x" : "http://x/");
      }
    }
    markup += tag;
    i = close;
  }
  if (!page_test::ForeignMarkup(markup).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = rest.find('\0');
  const std::string searchPage(rest.substr(0, split));
  const std::string reviewPage(split == std::string_view::npos ? "" : rest.substr(split + 1));

  TSettings settings;
  settings.Review = true;
  settings.Mall = TMallHosts{"http://search.test", "http://thumb.test", "http://script.test"};
  const std::string shopName = "shop";
  const auto isSearch = [](const std::string& url) { return url.rfind("http://search.test/search/mall/", 0) == 0; };
  TMallLookup lookup(
      [&](const std::string& url) { return (data[0] & 1) || !isSearch(url) ? std::string() : searchPage; },
      [&](const std::string& url) { return isSearch(url) ? searchPage : reviewPage; }, [](int) {}, shopName,
      settings.Mall);
  TRecentOrders rows;
  TItemStage stage(rows, lookup, settings);
  stage.AddItemRow(Sjis("桜のマグ(mug-001)\r\n価格  1980(円) x 2(個)\r\n"), "12/09 10:00", Sjis("東京都"));
  if (rows.size() != 1) std::abort();

  // The page from the list as it is stored, and the same page with neutral cells.
  TRecentOrders list = page_test::List({EncodeOrderRow(rows.front())});
  std::string lookupCell, reviewCell;
  const std::string page =
      TakeCell(TakeCell(BuildStatusPage(list, settings, false), "<td id=gz nowrap>", "@lookup@", lookupCell),
               "<td id=rev nowrap>", "@review@", reviewCell);
  list.front().lookup = "@lookup@";
  list.front().review = "@review@";
  if (page != BuildStatusPage(list, settings, false)) std::abort();
  for (const std::string& cell : {lookupCell, reviewCell}) CheckCell(cell);
  return 0;
}
