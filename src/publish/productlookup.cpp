#include "publish/productlookup.h"

#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/files.h"
#include "base/logcodes.h"
#include "base/sjisliteral.h"
#include "publish/pagecell.h"
#include "text/sjissearch.h"
#include "text/textcode.h"
#include "text/utf8sjis.h"
#include "text/lines.h"
#include "text/urlencode.h"

namespace {

// Page markers, matched exactly in the Shift-JIS text.
constexpr std::string_view kFirstResult = "itemPosition=\"1\"";
constexpr std::string_view kSecondResult = "itemPosition=\"2\"";
constexpr std::string_view kPhotoStart = "<div class=\"rsrSResultPhoto\">";
constexpr std::string_view kPhotoEnd = "</div>";
constexpr std::string_view kLinkStart = "<a href=\"";
constexpr std::string_view kLinkEnd = "</a>";
constexpr std::string_view kImageStart = "<img";
constexpr std::string_view kReviewIcon = "<span class=\"txtIconReview\">";
constexpr std::string_view kAddressEnd = "\">";
constexpr std::string_view kStarsStart = "<span class=\"revEvaStar\">";
constexpr std::string_view kAverageStart = "<span class=\"revEvaNumber average\">";
constexpr std::string_view kCountStart = "<span class=\"Count\">";
constexpr std::string_view kSpanEnd = "</span>";
constexpr std::string_view kError = "Error";

struct TLookupTexts {
  std::string horizontalBar = Sjis("―");  // 81 5C
  std::string fullWidthSlash = Sjis("／");  // 81 5E
  std::string fullWidthDot = Sjis("．");    // 81 44
  std::string summaryStart = Sjis("総合評価");
  std::string summaryEnd = Sjis("件");
};

const TLookupTexts& Texts() {
  static const TLookupTexts texts;
  return texts;
}




std::string Normalized(std::string_view text) { return JoinLines(SplitLines(text)); }

// The bytes CR, LF, TAB, NUL and the double quote are never trail bytes of a double-byte
// character, so the clean-ups below work byte by byte.

std::string WithoutLineBreaksAndTabs(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != '\r' && c != '\n' && c != '\t') out += c;
  }
  return out;
}

// "scheme://host" of an address: what the page's "/..." addresses are relative to.
std::string Origin(const std::string& address) {
  const size_t scheme = address.find("://");
  if (scheme == std::string::npos) return {};
  return address.substr(0, address.find('/', scheme + 3));
}

// The attributes of the first image tag in text that the cell keeps (named in keep); empty
// when there is no complete image tag.
std::vector<TCellAttribute> ImageParts(std::string_view text, std::initializer_list<std::string_view> keep) {
  size_t pos = text.find(kImageStart);
  if (pos == std::string_view::npos) return {};
  pos += kImageStart.size();
  const auto attributes = TagAttributes(text, pos);
  if (!attributes) return {};
  std::vector<TCellAttribute> kept;
  for (const TCellAttribute& a : WithAltAsText(*attributes)) {
    for (std::string_view name : keep) {
      if (a.name == name) kept.push_back(a);
    }
  }
  return kept;
}

// The page text from the line holding the first result on; nothing when the page has no
// result.
std::optional<std::vector<std::string>> FirstResult(std::vector<std::string> lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (Contains(lines[i], kFirstResult)) {
      lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(i));
      return lines;
    }
  }
  return std::nullopt;
}

// The first result's photo link without its opening "<a href=\"" and closing "</a>"; nothing
// when the result has no photo section or the section has no complete link (a cell built
// around the "Error" of an incomplete link would be a broken anchor).
std::optional<std::string> PhotoLink(const std::string& result) {
  const std::string section = TextBetween(result, kPhotoStart, kPhotoEnd);
  if (section == kError) return std::nullopt;
  const std::string link = TextBetween(WithoutLineBreaksAndTabs(section), kLinkStart, kLinkEnd);
  if (link == kError) return std::nullopt;
  return link;
}

// The photo cell of the first result's link (as PhotoLink gives it): the item address up to
// its quote, the image's alt, src, border and size attributes (the search page's thumbnail
// sizes made 48 by 48). Nothing when the link or image is not safe to show.
std::optional<std::string> PhotoCellOf(const std::string& link, const std::string& origin, bool closeLink) {
  TPhotoCellParts parts;
  parts.itemAddress = link.substr(0, link.find('"'));
  parts.image = ImageParts(link, {"alt", "src", "border", "width", "height"});
  for (TCellAttribute& a : parts.image) {
    if (a.name != "src") continue;
    for (std::string_view size : {"ex=96x96", "ex=64x64", "ex=112x112"}) a.value = ReplaceAll(a.value, size, "ex=48x48");
  }
  parts.closeLink = closeLink;
  parts.origin = origin;
  return PhotoCell(parts);
}

// The review page address from the first review icon, when that icon belongs to the first
// result: the first link on the icon's line or after it ("Error" when it is incomplete).
// Nothing when there is no icon or it comes after the second result began.
std::optional<std::string> ReviewAddress(const std::vector<std::string>& result) {
  for (size_t i = 0; i < result.size(); ++i) {
    if (Contains(result[i], kReviewIcon)) {
      std::string address = TextBetween(JoinLines(result, i), kLinkStart, kAddressEnd);
      // The address goes into a request line: one that runs over a line break or holds
      // control bytes is no address.
      for (char c : address) {
        if (static_cast<unsigned char>(c) < 0x20) return std::string(kError);
      }
      return address;
    }
    if (Contains(result[i], kSecondResult)) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

TMallLookup::TMallLookup(TPageFetch pageFetch, TPageFetch netFetch, TWriteLog writeLog,
                         const std::string& shopName, const TMallHosts& hosts)
    : pageFetch_(std::move(pageFetch)),
      netFetch_(std::move(netFetch)),
      writeLog_(std::move(writeLog)),
      shopName_(shopName),
      hosts_(hosts) {}

std::string MallAddress(const std::string& host) {
  if (host.find("://") == std::string::npos) return "http://" + host;
  return host.ends_with('/') ? host.substr(0, host.size() - 1) : host;
}

void TMallLookup::ClearReviewPageUrl() { reviewPageUrl_.clear(); }

std::string TMallLookup::SearchUrl(const std::string& keyword) const {
  return MallAddress(hosts_.SearchHost) + "/search/mall/" + UrlEncode(SjisToUtf8(shopName_)) + "+" +
         UrlEncode(SjisToUtf8(keyword)) + "/?f=0";
}

std::string NoPictureCell(const TMallHosts& hosts) {
  return "<img border=0 src='" + MallAddress(hosts.ThumbnailHost) +
         "/@0_mall/com/css/c/pc/img/nopicture/nopicture.gif?_ex=48x48'>";
}

TLookupResult TMallLookup::LookupByCode(const std::string& code) {
  TLookupResult result{TLookupResult::kFailed, ""};
  try {
    const std::string url = SearchUrl(ReplaceAll(code, "-", Texts().horizontalBar));
    auto found = FirstResult(SplitLines(Utf8ToSjis(pageFetch_(url))));
    if (!found) return {TLookupResult::kNothing, ""};
    const auto link = PhotoLink(JoinLines(*found));
    if (!link) return result;
    const auto cell = PhotoCellOf(*link, Origin(url), true);
    result = {TLookupResult::kFound, cell.value_or(NoPictureCell(hosts_))};
    if (auto address = ReviewAddress(*found)) reviewPageUrl_ = std::move(*address);
  } catch (...) {
    writeLog_(kLogGetGz);
  }
  return result;
}

TLookupResult TMallLookup::LookupByName(const std::string& name) {
  const TLookupTexts& t = Texts();
  TLookupResult result{TLookupResult::kFailed, ""};
  try {
    std::string keyword = ReplaceAll(name, "/", t.fullWidthSlash);
    keyword = ReplaceAll(keyword, "-", t.horizontalBar);
    keyword = ReplaceAll(keyword, ".", t.fullWidthDot);
    const std::string url = SearchUrl(keyword);
    const std::string page = Normalized(netFetch_(url));
    auto found = FirstResult(SplitLines(Utf8ToSjis(page)));
    if (!found) return {TLookupResult::kNothing, NoPictureCell(hosts_)};
    const auto link = PhotoLink(JoinLines(*found));
    if (!link) return result;
    // The name search's cell carries no closing "</a>".
    const auto cell = PhotoCellOf(*link, Origin(url), false);
    result = {TLookupResult::kFound, cell.value_or(NoPictureCell(hosts_))};
    if (reviewPageUrl_.empty() || reviewPageUrl_ == kError) {
      if (auto address = ReviewAddress(*found)) reviewPageUrl_ = std::move(*address);
    }
  } catch (...) {
    writeLog_(kLogGetGz2);
  }
  return result;
}

TLookupResult TMallLookup::LookupReviews() {
  const TLookupTexts& t = Texts();
  if (reviewPageUrl_.empty() || reviewPageUrl_ == kError) return {};
  std::string page;
  try {
    page = Normalized(ConvertCode(Normalized(netFetch_(reviewPageUrl_)), kCodeSjis));
  } catch (...) {
    // The mall's failure, not the order's: the row goes in without review figures.
    writeLog_(kLogGetCsv);
    return {TLookupResult::kFailed, ""};
  }

  const std::string block = TextBetween(page, t.summaryStart, t.summaryEnd);
  const std::string stars = TextBetween(block, kStarsStart, kSpanEnd);
  TReviewCellParts parts;
  parts.average = TextBetween(block, kAverageStart, kSpanEnd);
  parts.count = TextBetween(block, kCountStart, kSpanEnd);
  if (Contains(stars + parts.average + parts.count, kError)) return {};
  parts.stars = ImageParts(stars, {"src", "width", "height", "alt"});
  for (TCellAttribute& a : parts.stars) {
    if (a.name == "width" && a.value == "26") a.value = "12";
    if (a.name == "height" && a.value == "24") a.value = "12";
  }
  parts.origin = Origin(reviewPageUrl_);
  // The figures may be spread over several lines of the page; the cell keeps them on one.
  return {TLookupResult::kFound, ReviewCell(parts)};
}
