// The mall's pages on their way to the shop's page: the input becomes a search page and a
// review page, served to the product lookup in place of the network; the item stage adds
// the row, which goes through its list line and the renderer. Whatever the pages hold, the
// page is the one rendered with neutral cells except inside the image and review cells, and
// each of those is markup the cell builders write: tags a, img, /a and br only, every
// attribute one of theirs (no "on..." handler) with a single-quoted value holding no quote,
// and every address an http: or https: one (no script or data address).
// Input: a byte choosing the path (bit 0: the by-code search finds nothing, so the by-name
// search is taken), then the search page, a NUL byte, and the review page.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/sjisliteral.h"
#include "intake/itemlines.h"
#include "publish/page_helpers.h"
#include "publish/productlookup.h"
#include "publish/statuspage.h"

namespace {

const std::string kNeutralLookup = "@lookup@";
const std::string kNeutralReview = "@review@";

// The row line with the contents of the cell opened by `open` replaced by `with`.
std::string WithCell(const std::string& line, const std::string& open, const std::string& with,
                     std::string& contents) {
  const size_t begin = line.find(open);
  if (begin == std::string::npos) std::abort();
  const size_t from = begin + open.size();
  const size_t to = line.find("</td>", from);
  if (to == std::string::npos) std::abort();
  contents = line.substr(from, to - from);
  return line.substr(0, from) + with + line.substr(to);
}

// Whether an address is an absolute http: or https: address (any case) without a blank, a
// control byte, a quote or an angle bracket.
bool IsWebAddress(std::string_view address) {
  std::string lower(address.substr(0, 8));
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (!lower.starts_with("http://") && !lower.starts_with("https://")) return false;
  for (char c : address) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '\'' || c == '"' || c == '<' || c == '>') return false;
  }
  return true;
}

// The cell's markup alone, for the tag grammar of the builders: its text left out (text may
// say "javascript:" harmlessly, but holds no "<", ">" or double quote), each address checked
// and written as one neutral address, each alt text written as "x". Nothing when the text or
// an address is not safe.
std::optional<std::string> Skeleton(const std::string& cell) {
  std::string out;
  for (size_t i = 0; i < cell.size();) {
    if (cell[i] != '<') {
      if (cell[i] == '>' || cell[i] == '"') return std::nullopt;
      ++i;
      continue;
    }
    const size_t close = cell.find('>', i);
    if (close == std::string::npos) return std::nullopt;
    std::string tag = cell.substr(i, close + 1 - i);
    for (const std::string_view name : {" href='", " src='", " alt='"}) {
      for (size_t at = tag.find(name); at != std::string::npos; at = tag.find(name, at + 1)) {
        const size_t from = at + name.size();
        const size_t to = tag.find('\'', from);
        if (to == std::string::npos) return std::nullopt;
        const bool text = name == " alt='";
        if (!text && !IsWebAddress(std::string_view(tag).substr(from, to - from))) return std::nullopt;
        tag.replace(from, to - from, text ? "x" : "http://x/");
      }
    }
    out += tag;
    i = close + 1;
  }
  return out;
}

void CheckCell(const std::string& cell) {
  const auto skeleton = Skeleton(cell);
  if (!skeleton || !page_test::ForeignMarkup(*skeleton).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool byName = data[0] & 1;
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
      [&](const std::string& url) { return byName || !isSearch(url) ? std::string() : searchPage; },
      [&](const std::string& url) { return isSearch(url) ? searchPage : reviewPage; }, [](int) {}, shopName,
      settings.Mall);

  TRecentOrders rows;
  TItemStage stage(rows, lookup, settings);
  static const std::string item = Sjis("桜のマグ(mug-001)\r\n価格  1980(円) x 2(個)\r\n");
  stage.AddItemRow(item, "12/09 10:00", Sjis("東京都"));
  if (rows.size() != 1) std::abort();

  // The page from the list as it is stored, and the same page with neutral cells.
  const TRecentOrders stored = page_test::List({EncodeOrderRow(rows.front())});
  TRecentOrders neutral = stored;
  neutral.front().lookup = kNeutralLookup;
  neutral.front().review = kNeutralReview;
  const std::string page = BuildStatusPage(stored, settings, false);
  const std::string expected = BuildStatusPage(neutral, settings, false);

  const std::vector<std::string> lines = page_test::Lines(page), expectedLines = page_test::Lines(expected);
  if (lines.size() != expectedLines.size()) std::abort();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == expectedLines[i]) continue;
    std::string lookupCell, reviewCell;
    const std::string line = WithCell(WithCell(lines[i], "<td id=gz nowrap>", kNeutralLookup, lookupCell),
                                      "<td id=rev nowrap>", kNeutralReview, reviewCell);
    if (line != expectedLines[i]) std::abort();
    CheckCell(lookupCell);
    CheckCell(reviewCell);
  }
  return 0;
}
