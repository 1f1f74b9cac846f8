// The mall's pages to the shop's page. Input: a byte (bit 0: the by-code search finds nothing, so the by-name
// one is taken), the search page, NUL, the review page. The row's lookup and review cells change nothing of the
// page around them and hold only the builders' markup.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "base/sjisliteral.h"
#include "intake/itemlines.h"
#include "publish/page_helpers.h"
#include "publish/productlookup.h"
#include "publish/statuspage.h"

namespace {

// Tags <a>, <img>, </a> and <br> with their attributes only, each value in single quotes without
// < or > (digits may go bare), every href and src an http: or https: address; no '"' anywhere.
void CheckCell(std::string_view cell) {
  static const std::set<std::string_view> kTags = {"a", "img", "/a", "br"};
  static const std::set<std::string_view> kNames = {"href", "target", "alt", "src", "border", "width", "height"};
  if (cell.find('"') != std::string_view::npos) std::abort();
  for (size_t i = 0, end = 0; i < cell.size(); i = end + 1) {
    const size_t open = cell.find('<', i);
    end = cell.find('>', i);
    if (end < open) std::abort();  // a '>' outside a tag
    if (open == std::string_view::npos) return;
    if (end == std::string_view::npos) std::abort();
    std::string_view tag = cell.substr(open + 1, end - open - 1);
    const size_t space = std::min(tag.find(' '), tag.size());
    if (!kTags.contains(tag.substr(0, space)) || tag.find('<') != std::string_view::npos) std::abort();
    for (tag.remove_prefix(space); !tag.empty();) {
      const size_t equals = tag.find('=');
      const std::string_view name = tag.substr(1, equals - 1);
      if (tag[0] != ' ' || equals == std::string_view::npos || !kNames.contains(name)) std::abort();
      tag.remove_prefix(equals + 1);
      const bool quoted = tag.starts_with('\'');
      const size_t valueEnd = quoted ? tag.find('\'', 1) : std::min(tag.find(' '), tag.size());
      if (valueEnd == std::string_view::npos) std::abort();
      std::string value(tag.substr(quoted, valueEnd - quoted));
      if (!quoted && (value.empty() || value.find_first_not_of("0123456789") != std::string::npos)) std::abort();
      for (char& c : value) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      if ((name == "href" || name == "src") && !value.starts_with("http://") && !value.starts_with("https://"))
        std::abort();
      tag.remove_prefix(valueEnd + quoted);
    }
  }
}

// The page with the contents of the cell opened by `open`, once checked, replaced by `with`.
std::string TakeCell(const std::string& page, const std::string& open, const std::string& with) {
  const size_t at = page.find(open) + open.size(), to = page.find("</td>", at);
  CheckCell(std::string_view(page).substr(at, to - at));
  return page.substr(0, at) + with + page.substr(to);
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
  const std::string shopName = "shop";
  const auto fetch = [&](const std::string& url) {
    return url.find("/search/mall/") != std::string::npos ? searchPage : reviewPage;
  };
  TMallLookup lookup([&](const std::string& url) { return data[0] & 1 ? std::string() : fetch(url); }, fetch,
                     [](int) {}, shopName, settings.Mall);
  TRecentOrders rows;
  TItemStage stage(rows, lookup, settings);
  stage.AddItemRow(Sjis("桜のマグ(mug-001)\r\n価格  1980(円) x 2(個)\r\n"), "12/09 10:00", Sjis("東京都"));
  if (rows.size() != 1) std::abort();

  // The page from the list as it is stored, and the same page with neutral cells.
  TRecentOrders list = page_test::List({EncodeOrderRow(rows.front())});
  const std::string page = TakeCell(TakeCell(BuildStatusPage(list, settings, false), "<td id=gz nowrap>", "@lookup@"),
                                    "<td id=rev nowrap>", "@review@");
  list.front().lookup = "@lookup@";
  list.front().review = "@review@";
  if (page != BuildStatusPage(list, settings, false)) std::abort();
  return 0;
}
