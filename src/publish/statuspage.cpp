#include "publish/statuspage.h"

#include <cstdint>
#include <string_view>

#include "base/files.h"
#include "base/numtext.h"
#include "base/sjisliteral.h"
#include "intake/itemlookup.h"
#include "platform/codepage.h"
#include "platform/locale.h"
#include "publish/colortext.h"
#include "publish/pagecell.h"
#include "publish/productlookup.h"
#include "text/sjissearch.h"

namespace {

// Thumbnail addresses are stored with this size; the page rewrites it to the chosen one.
constexpr std::string_view kStoredThumbnailSize = "ex=48x48";
constexpr int kStoredThumbnailEdge = 48;

size_t CharLength(std::string_view text, size_t i) {
  return (IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}


// The name cut to limit characters plus "..." when it is longer. Characters are counted as
// UTF-16 code units, which is one per Shift-JIS character; the cut never splits one.
std::string ShortenName(const std::string& name, int limit) {
  const auto count = static_cast<int64_t>(platform::Cp932ToUtf16(name).size());
  if (count <= limit) return name;
  size_t end = 0;
  for (int kept = 0; kept < limit && end < name.size(); ++kept) end += CharLength(name, end);
  return name.substr(0, end) + "...";
}

const std::string& FullWidthBlank() {
  static const std::string text = Sjis("　");
  return text;
}

std::string RowLine(const TOrderRow& row, const TSettings& s) {
  static const std::string yen = Sjis("円");
  std::string line = "<tr align=Left>";
  if (s.Date) line += "<td id=dt>" + EscapeHtml(ReplaceAll(row.date, FullWidthBlank(), " ")) + "</td>";
  line += "<td id=nam>" + EscapeHtml(ShortenName(row.name, s.HinLen)) + "</td>";
  if (s.Code) line += "<td id=cd>" + EscapeHtml(row.code) + "</td>";
  line += "<td id=gz nowrap>" + CheckedLookupCell(row.lookup, NoPictureCell(s.Mall)) + "</td>";
  line += "<td id=adr nowrap>" + EscapeHtml(row.prefecture) + "</td>";
  line += "<td id=tanka nowrap align=\"right\">" + FormatPrice(row.price) + yen + "</td>";
  line += "<td id=suryo align=\"right\">" + EscapeHtml(row.quantity) + "</td>";
  if (s.Review) {
    // Rows from older list files have no review field.
    line += row.shape == TOrderRow::kWhole ? "<td id=rev nowrap>" + CheckedReviewCell(row.review) + "</td>"
                                           : "<td>" + std::string(kNoReviewCell) + "</td>";
  }
  line += "</tr>";
  return line;
}

std::string HeadAndTableHead(const TSettings& s, std::string_view wrapOpen) {
  static const std::string title = Sjis("<title>最新のご注文状況</title><style>body { background-color:");
  static const std::string caption = Sjis("<center>最新のご注文状況<br><table width=");
  static const std::string dateHead = Sjis("<th id=dt nowrap>日時</th>");
  static const std::string nameHead = Sjis("<th id=nam nowrap>商品名</th>");
  static const std::string codeHead = Sjis("<th id=cd nowrap>コード</th>");
  static const std::string fixedHeads = Sjis(
      "<th id=gz nowrap>商品画像</th><th id=adr nowrap>ご住所</th>"
      "<th id=tanka nowrap>単価</th><th id=suryo nowrap>数量</th>");
  static const std::string reviewHead = Sjis("<th id=rev nowrap>レビュー</th>");

  std::string line = title + ColorToHtml(s.Back) + "; color:" + ColorToHtml(s.Font) + "; }</style>";
  line += "</head><body>";
  line += wrapOpen;
  line += caption + (s.Table == 0 ? std::string("100%") : IntToStr(s.Table)) + "><thead><TR>";
  if (s.Date) line += dateHead;
  line += nameHead;
  if (s.Code) line += codeHead;
  line += fixedHeads;
  if (s.Review) line += reviewHead;
  line += "</tr></thead><tbody>";
  return line;
}

}  // namespace

std::string FormatPrice(const std::string& price) {
  // Only plain decimal text: the whole-number rule would also take blanks and "$" numbers.
  const size_t digits = (!price.empty() && (price[0] == '-' || price[0] == '+')) ? 1 : 0;
  if (digits == price.size()) return {};
  for (size_t i = digits; i < price.size(); ++i) {
    if (price[i] < '0' || price[i] > '9') return {};
  }
  const std::optional<int32_t> value = TryStrToInt(price);
  if (!value) return {};

  const std::string plain = IntToStr(*value < 0 ? -static_cast<int64_t>(*value) : *value);
  const std::string separator = platform::ThousandSeparator();
  std::string out = *value < 0 ? "-" : "";
  for (size_t i = 0; i < plain.size(); ++i) {
    if (i > 0 && (plain.size() - i) % 3 == 0) out += separator;
    out += plain[i];
  }
  return out;
}

std::string BuildStatusPage(const TRecentOrders& rows, const TSettings& settings,
                            bool houseMachine) {
  std::vector<std::string> lines;
  lines.push_back(
      R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" "http://www.w3.org/TR/html4/loose.dtd">)");
  lines.push_back(
      R"(<html><head><meta http-equiv="Content-Type" content="text/html; charset=shift_jis">)"
      R"(<script type="text/javascript">(function(){var t = setInterval(function(){location.reload(true);}, 40000);})();</script>)"
      R"(<style type=text/css><!--table {  border:solid 1px #ccc;}td, th{   font-size : 12px;  line-height: 1.3;  padding: 2px; border:solid 1px #ccc;}--></style>)");
  lines.push_back(R"(<script language="JavaScript" type="text/javascript" src=")" +
                  MallAddress(settings.Mall.ScriptHost) +
                  R"(/com/js/d/common/jquery-1.4.2.min.js" ></script>)");

  if (settings.LineLink) {
    lines.push_back(
        "<style type=text/css>table tr:hover td{background-color:HoverBackColor; "
        "color:HoverFontColor; cursor:pointer;}</style>");
    lines.push_back(R"(<script type="text/javascript">)");
    lines.push_back("<!-- ");
    lines.push_back(
        R"($(function() {$("tbody td").click(function(){var url = $(this).parent("tr").find("td a:first-child").attr("href");if (!url){}else{window.top.location = url;}});});)");
    lines.push_back("// -->");
    lines.push_back("</script>");
  }
  // The hover colours are converted whether or not the row links are on, so a broken colour
  // setting shows up at once rather than when the links are switched on.
  const std::string hoverBack = ColorToHtml(settings.HoverBack);
  const std::string hoverFont = ColorToHtml(settings.HoverFont);
  for (std::string& line : lines) {
    line = ReplaceAll(ReplaceAll(line, "HoverBackColor", hoverBack), "HoverFontColor", hoverFont);
  }

  std::string wrapOpen, wrapClose;
  if (settings.FadeIn) {
    lines.push_back(R"(<script type="text/javascript">var i = 0;var int = 0;)");
    lines.push_back(
        R"js($(window).bind("load", function() {$('#wrap').fadeIn(800); var int=setInterval("sFade(i)",100); });)js");
    lines.push_back("function sFade() { if (i >= 1) { clearInterval(int); } i++;}");
    lines.push_back("</script>");
    lines.push_back("<style type=text/css>#wrap { display: none; }</style>");
    wrapOpen = R"(<div id="wrap">)";
    wrapClose = "</div>";
  }

  const std::string credit = houseMachine ? "" : "    Vendlume by Pelnor ";
  lines.push_back("<!-- Ver.2016/10/24 " + credit + "-->");
  lines.push_back(settings.AddText);
  lines.push_back(HeadAndTableHead(settings, wrapOpen));

  for (const TOrderRow& row : rows) {
    // A damaged row costs its own line, not the whole page.
    if (row.shape == TOrderRow::kDamaged) continue;
    lines.push_back(RowLine(row, settings));
  }
  lines.push_back("</tbody></table>" + wrapClose + "</body></html>");

  std::string page;
  for (const std::string& line : lines) page += line + "\r\n";
  if (settings.GazouSize != kStoredThumbnailEdge) {
    const std::string edge = IntToStr(settings.GazouSize);
    page = ReplaceAll(page, kStoredThumbnailSize, "ex=" + edge + "x" + edge);
  }
  return page;
}

void RenderStatusPage(const TRecentOrders& rows, const TSettings& settings,
                      bool houseMachine, const std::string& path) {
  ReplaceFileBytes(path, BuildStatusPage(rows, settings, houseMachine));
}
