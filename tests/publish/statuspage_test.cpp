#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "base/sjisliteral.h"
#include "platform/locale.h"
#include "publish/page_helpers.h"
#include "publish/productlookup.h"
#include "publish/statuspage.h"
#include "support/testing.h"

namespace {

using page_test::Cell;
using page_test::Count;
using page_test::List;
using page_test::Lines;
using page_test::Row;
using page_test::RowLines;
using testing_support::Show;

const char kThumb[] =
    "<a href='http://item.example/shop/mug-001/' target='_top'><img src='http://thumb.example/mug.jpg?_ex=48x48'></a>";

std::string SampleRow() {
  return Row("10/24　09:05", "桜のマグカップ　", "mug-001", kThumb, "東京都", "1980", "2",
             "<img src='http://r.example/star.gif'><br>4.50<br>レビュー:12件");
}

std::string HeadLine(const std::string& page) {
  for (const std::string& line : Lines(page)) {
    if (line.rfind("<title>", 0) == 0) return line;
  }
  return "<no head line>";
}

std::string Sep() { return platform::ThousandSeparator(); }

TEST(FormatPrice, GroupsThousandsWithTheLocaleSeparator) {
  EXPECT_EQ(FormatPrice("1980"), "1" + Sep() + "980");
  EXPECT_EQ(FormatPrice("500"), "500");
  EXPECT_EQ(FormatPrice("0"), "0");
  EXPECT_EQ(FormatPrice("100000"), "100" + Sep() + "000");
  EXPECT_EQ(FormatPrice("1234567"), "1" + Sep() + "234" + Sep() + "567");
  EXPECT_EQ(FormatPrice("-1980"), "-1" + Sep() + "980");
  EXPECT_EQ(FormatPrice("+42"), "42");
  EXPECT_EQ(FormatPrice("007"), "7");
  EXPECT_EQ(FormatPrice("2147483647"), "2" + Sep() + "147" + Sep() + "483" + Sep() + "647");
  EXPECT_EQ(FormatPrice("-2147483648"), "-2" + Sep() + "147" + Sep() + "483" + Sep() + "648");
}

TEST(FormatPrice, GivesNothingForTextThatIsNotADecimalPrice) {
  for (const char* bad : {"", "Error", "-", "+", "12a", " 12", "12 ", "$10", "0x10", "1.5",
                          "2147483648", "-2147483649", "99999999999"}) {
    EXPECT_EQ(FormatPrice(bad), "") << bad;
  }
}

TEST(StatusPage, EmptyListGivesHeadTableHeadAndClosingLine) {
  const std::string page = BuildStatusPage({}, TSettings{}, false);
  const std::vector<std::string> lines = Lines(page);
  ASSERT_EQ(lines.size(), 7u) << Show(page);
  EXPECT_EQ(lines[0],
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
            "\"http://www.w3.org/TR/html4/loose.dtd\">");
  EXPECT_NE(lines[1].find("location.reload(true);}, 40000);"), std::string::npos);
  EXPECT_NE(lines[1].find("charset=shift_jis"), std::string::npos);
  EXPECT_EQ(lines[2],
            "<script language=\"JavaScript\" type=\"text/javascript\" "
            "src=\"https://r.r10s.jp/com/js/d/common/jquery-1.4.2.min.js\" ></script>");
  EXPECT_EQ(lines[3], "<!-- Ver.2016/10/24     Vendlume by Pelnor -->");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5].substr(lines[5].size() - 20), "</tr></thead><tbody>");
  EXPECT_EQ(lines[6], "</tbody></table></body></html>");
  EXPECT_TRUE(RowLines(page).empty());
}

TEST(StatusPage, DefaultsShowWhiteOnBlackSixHundredWideWithSevenCells) {
  const std::string page = BuildStatusPage(List({SampleRow(), SampleRow()}), TSettings{}, false);
  const std::string head = HeadLine(page);
  EXPECT_NE(head.find("background-color:#000000; color:#FFFFFF; }"), std::string::npos) << Show(head);
  EXPECT_NE(head.find("<table width=600>"), std::string::npos);
  EXPECT_NE(head.find("</head><body><center>"), std::string::npos);
  EXPECT_EQ(Count(head, "<th "), 7u);
  EXPECT_EQ(head.find(Sjis("レビュー")), std::string::npos);
  EXPECT_EQ(page.find("<style type=text/css>table tr:hover"), std::string::npos);
  EXPECT_EQ(page.find("fadeIn"), std::string::npos);

  const std::vector<std::string> rows = RowLines(page);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0],
            "<tr align=Left><td id=dt>10/24 09:05</td><td id=nam>" + Sjis("桜のマグカップ　") +
                "</td><td id=cd>mug-001</td><td id=gz nowrap>" + kThumb + "</td><td id=adr nowrap>" +
                Sjis("東京都") + "</td><td id=tanka nowrap align=\"right\">1" + Sep() + "980" + Sjis("円") +
                "</td><td id=suryo align=\"right\">2</td></tr>")
      << Show(rows[0]);
  EXPECT_EQ(Count(rows[1], "<td"), 7u);
}

TEST(StatusPage, RowsFollowTheListOrder) {
  const std::string first = Row("10/24　09:05", "A", "a-1", " ", "東京都", "1", "1", "-");
  const std::string second = Row("10/23　08:00", "B", "b-1", " ", "国外", "2", "1", "-");
  const std::vector<std::string> rows = RowLines(BuildStatusPage(List({first, second}), TSettings{}, false));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Cell(rows[0], "<td id=nam>"), "A");
  EXPECT_EQ(Cell(rows[1], "<td id=nam>"), "B");
}

TEST(StatusPage, TableWidthZeroFillsTheWidth) {
  TSettings s;
  s.Table = 0;
  EXPECT_NE(HeadLine(BuildStatusPage({}, s, false)).find("<table width=100%>"), std::string::npos);
  s.Table = 480;
  EXPECT_NE(HeadLine(BuildStatusPage({}, s, false)).find("<table width=480>"), std::string::npos);
}

TEST(StatusPage, OptionalColumnsDropOut) {
  TSettings s;
  s.Date = false;
  s.Code = false;
  s.Review = false;
  const std::string page = BuildStatusPage(List({SampleRow()}), s, false);
  const std::string head = HeadLine(page);
  EXPECT_EQ(Count(head, "<th "), 5u);
  EXPECT_EQ(head.find("id=dt"), std::string::npos);
  EXPECT_EQ(head.find("id=cd"), std::string::npos);
  const std::vector<std::string> rows = RowLines(page);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(Count(rows[0], "<td"), 5u);
  EXPECT_EQ(rows[0].find("<td id=nam>"), std::string("<tr align=Left>").size());
  EXPECT_EQ(rows[0].find("id=dt"), std::string::npos);
  EXPECT_EQ(rows[0].find("id=cd"), std::string::npos);
}

TEST(StatusPage, DateShowsAsciiBlanksWhileTheNameKeepsFullWidthOnes) {
  const std::string row = Row("10/24　12:34", "青い　皿　", "p-1", " ", "大阪府", "100", "1", "-");
  const std::vector<std::string> rows = RowLines(BuildStatusPage(List({row}), TSettings{}, false));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(Cell(rows[0], "<td id=dt>"), "10/24 12:34");
  EXPECT_EQ(Cell(rows[0], "<td id=nam>"), Sjis("青い　皿　"));
  // 82 81 is "ａ": its trail byte 81 and the "@" after it are no full-width blank.
  const std::string tricky = Sjis("ａ@") + ",n,c,\" \",x,1,1,\"-\"";
  EXPECT_EQ(Cell(RowLines(BuildStatusPage(List({tricky}), TSettings{}, false))[0], "<td id=dt>"), Sjis("ａ@"));
}

std::string NameCell(const std::string& nameUtf8, int hinLen) {
  TSettings s;
  s.HinLen = hinLen;
  const std::string row = Row("10/24　12:34", nameUtf8, "c", " ", "x", "1", "1", "-");
  const std::vector<std::string> rows = RowLines(BuildStatusPage(List({row}), s, false));
  return rows.empty() ? "<no row>" : Cell(rows[0], "<td id=nam>");
}

TEST(StatusPage, NamesAreCutByCharactersNotBytes) {
  std::string sixty;
  for (int i = 0; i < 30; ++i) sixty += "桜A";  // 60 characters, 90 bytes
  EXPECT_EQ(NameCell(sixty, 60), Sjis(sixty));
  EXPECT_EQ(NameCell(sixty + "漢", 60), Sjis(sixty) + "...");
  EXPECT_EQ(NameCell("A" + sixty, 60), Sjis("A" + sixty.substr(0, sixty.size() - 1)) + "...");

  EXPECT_EQ(NameCell("桜のマグ", 3), Sjis("桜のマ") + "...");
  EXPECT_EQ(NameCell("桜のマグ", 4), Sjis("桜のマグ"));
  EXPECT_EQ(NameCell("ｱｲｳｴ", 2), Sjis("ｱｲ") + "...");  // half-width katakana: one byte each
  EXPECT_EQ(NameCell("桜", 0), "...");
  EXPECT_EQ(NameCell("A", 0), "...");
}

TEST(StatusPage, PriceCellKeepsTheYenSignEvenWithoutAPrice) {
  const std::string good = Row("d", "n", "c", " ", "x", "1980", "1", "-");
  const std::string bad = Row("d", "n", "c", " ", "x", "Error", "Error", "-");
  const std::vector<std::string> rows = RowLines(BuildStatusPage(List({good, bad}), TSettings{}, false));
  ASSERT_EQ(rows.size(), 2u);
  const std::string open = "<td id=tanka nowrap align=\"right\">";
  EXPECT_EQ(Cell(rows[0], open), "1" + Sep() + "980" + Sjis("円"));
  EXPECT_EQ(Cell(rows[1], open), Sjis("円"));
  EXPECT_EQ(Cell(rows[1], "<td id=suryo align=\"right\">"), "Error");
}

TEST(StatusPage, ReviewColumnShowsADashForRowsWithoutReview) {
  TSettings s;
  s.Review = true;
  const std::string eight = SampleRow();
  const std::string seven = Sjis("10/24　09:05,名前,c,\" \",東京都,100,1");
  const std::string page = BuildStatusPage(List({eight, seven}), s, false);
  EXPECT_NE(HeadLine(page).find(Sjis("<th id=rev nowrap>レビュー</th></tr></thead><tbody>")), std::string::npos);
  const std::vector<std::string> rows = RowLines(page);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Cell(rows[0], "<td id=rev nowrap>"), Sjis("<img src='http://r.example/star.gif'><br>4.50<br>レビュー:12件"));
  EXPECT_EQ(Count(rows[0], "<td"), 8u);
  EXPECT_EQ(rows[1].substr(rows[1].size() - 15), "<td>-</td></tr>");
  EXPECT_EQ(Count(rows[1], "<td"), 8u);
}

TEST(StatusPage, ThumbnailSizeIsRewrittenEverywhereButOnlyWhenNot48) {
  TSettings s;
  s.AddText = "<img src='http://thumb.example/logo.gif?_ex=48x48'>";
  // "Ｆ" is 82 65: its trail byte is an "e", which must not start a match.
  const std::string row = Row("d", "Ｆx=48x48", "c", kThumb, "x", "1", "1", "-");
  const std::string at48 = BuildStatusPage(List({row}), s, false);
  EXPECT_EQ(Count(at48, "ex=48x48"), 3u);

  s.GazouSize = 64;
  const std::string at64 = BuildStatusPage(List({row}), s, false);
  EXPECT_EQ(Count(at64, "?_ex=48x48"), 0u);
  EXPECT_EQ(Count(at64, "?_ex=64x64"), 2u);
  EXPECT_NE(at64.find("<img src='http://thumb.example/logo.gif?_ex=64x64'>\r\n"), std::string::npos);
  EXPECT_EQ(Cell(RowLines(at64)[0], "<td id=nam>"), Sjis("Ｆx=48x48"));
}

TEST(StatusPage, RowLinkBlockCarriesTheHoverColours) {
  TSettings s;
  s.LineLink = true;
  s.HoverBack = "$00FFFFFF";
  s.HoverFont = "clBlack";
  const std::vector<std::string> lines = Lines(BuildStatusPage({}, s, false));
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(lines[3],
            "<style type=text/css>table tr:hover td{background-color:#FFFFFF; color:#000000; "
            "cursor:pointer;}</style>");
  EXPECT_EQ(lines[4], "<script type=\"text/javascript\">");
  EXPECT_EQ(lines[5], "<!-- ");
  EXPECT_EQ(lines[6],
            "$(function() {$(\"tbody td\").click(function(){var url = $(this).parent(\"tr\")"
            ".find(\"td a:first-child\").attr(\"href\");if (!url){}else{window.top.location = url;}});});");
  EXPECT_EQ(lines[7], "// -->");
  EXPECT_EQ(lines[8], "</script>");
  EXPECT_EQ(lines[9].rfind("<!-- Ver.2016/10/24", 0), 0u);
}

TEST(StatusPage, HoverPlaceholdersInAddTextStayAsWritten) {
  TSettings s;
  s.LineLink = true;
  s.AddText = "HoverBackColor";
  EXPECT_NE(BuildStatusPage({}, s, false).find("\r\nHoverBackColor\r\n"), std::string::npos);
}

TEST(StatusPage, FadeInWrapsTheBody) {
  TSettings s;
  s.FadeIn = true;
  const std::string page = BuildStatusPage(List({SampleRow()}), s, false);
  const std::vector<std::string> lines = Lines(page);
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[3], "<script type=\"text/javascript\">var i = 0;var int = 0;");
  EXPECT_EQ(lines[4],
            "$(window).bind(\"load\", function() {$('#wrap').fadeIn(800); var int=setInterval(\"sFade(i)\",100); });");
  EXPECT_EQ(lines[5], "function sFade() { if (i >= 1) { clearInterval(int); } i++;}");
  EXPECT_EQ(lines[6], "</script>");
  EXPECT_EQ(lines[7], "<style type=text/css>#wrap { display: none; }</style>");
  EXPECT_NE(HeadLine(page).find("</head><body><div id=\"wrap\"><center>"), std::string::npos);
  EXPECT_EQ(lines.back(), "</tbody></table></div></body></html>");
}

TEST(StatusPage, HouseMachineLeavesTheCreditOut) {
  const std::vector<std::string> lines = Lines(BuildStatusPage({}, TSettings{}, true));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[3], "<!-- Ver.2016/10/24 -->");
}

TEST(StatusPage, AddTextKeepsItsOwnLines) {
  TSettings s;
  s.AddText = "<meta name=a>\r\n<meta name=b>";
  const std::vector<std::string> lines = Lines(BuildStatusPage({}, s, false));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[3].rfind("<!-- Ver.", 0), 0u);
  EXPECT_EQ(lines[4], "<meta name=a>");
  EXPECT_EQ(lines[5], "<meta name=b>");
  EXPECT_EQ(lines[6].rfind("<title>", 0), 0u);
}

TEST(StatusPage, ScriptHostComesFromTheSettings) {
  TSettings s;
  s.Mall.ScriptHost = "127.0.0.1:8080";
  EXPECT_EQ(Lines(BuildStatusPage({}, s, false))[2],
            "<script language=\"JavaScript\" type=\"text/javascript\" "
            "src=\"http://127.0.0.1:8080/com/js/d/common/jquery-1.4.2.min.js\" ></script>");
}

TEST(StatusPage, PageColoursAcceptIdentifiersInAnyCase) {
  TSettings s;
  s.Back = "CLNAVY";
  s.Font = "clyellow";
  EXPECT_NE(HeadLine(BuildStatusPage({}, s, false)).find("background-color:#000080; color:#FFFF00; }"),
            std::string::npos);
}

TEST(StatusPage, MailTextCellsAreEscapedAndForeignMarkupCellsAreNotShown) {
  const std::string row = Row("<b>", "A&B\"x\"", "c<1>", "<a href='u'>&amp;</a>", "<i>", "1", "2>1",
                              "<br><b>q&amp;a</b>");
  TSettings s;
  s.Review = true;
  const std::vector<std::string> rows = RowLines(BuildStatusPage(List({row}), s, false));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(Cell(rows[0], "<td id=dt>"), "&lt;b&gt;");
  EXPECT_EQ(Cell(rows[0], "<td id=nam>"), "A&amp;B&quot;x&quot;");
  EXPECT_EQ(Cell(rows[0], "<td id=cd>"), "c&lt;1&gt;");
  EXPECT_EQ(Cell(rows[0], "<td id=gz nowrap>"), NoPictureCell(s.Mall));
  EXPECT_EQ(Cell(rows[0], "<td id=adr nowrap>"), "&lt;i&gt;");
  EXPECT_EQ(Cell(rows[0], "<td id=suryo align=\"right\">"), "2&gt;1");
  EXPECT_EQ(Cell(rows[0], "<td id=rev nowrap>"), "-");

  const std::string quoted = Sjis("d,\"say \"\"hi\"\"\",c,\" \",x,1,1");
  EXPECT_EQ(Cell(RowLines(BuildStatusPage(List({quoted}), TSettings{}, false))[0], "<td id=nam>"),
            "say &quot;hi&quot;");
}

TEST(StatusPage, EscapesAfterShorteningSoNoEntityIsCut) {
  EXPECT_EQ(NameCell("ab&cd", 3), "ab&amp;...");
  EXPECT_EQ(NameCell("ab&cd", 2), "ab...");
}

TEST(StatusPage, ARowWithTooFewFieldsIsLeftOut) {
  const std::string shortRow = Sjis("10/24　09:05,名前,c,\" \",東京都,100");
  const std::string page = BuildStatusPage(List({SampleRow(), shortRow, "", SampleRow()}), TSettings{}, false);
  EXPECT_EQ(RowLines(page).size(), 2u);
  EXPECT_EQ(page.find(Sjis("名前")), std::string::npos);
}

TEST(StatusPage, BrokenColourFailsTheWholePage) {
  for (const char* field : {"Font", "Back", "HoverFont", "HoverBack"}) {
    TSettings s;
    std::string& colour = std::string(field) == "Font"        ? s.Font
                          : std::string(field) == "Back"      ? s.Back
                          : std::string(field) == "HoverFont" ? s.HoverFont
                                                              : s.HoverBack;
    colour = "rot";
    EXPECT_THROW(BuildStatusPage(List({SampleRow()}), s, false), EConvertError) << field;
  }
}

TEST(RenderStatusPage, WritesThePageAndReplacesTheOldOne) {
  testing_support::ScopedTempDir dir;
  testing_support::WriteAll("item.html", "old page");
  RenderStatusPage(List({SampleRow()}), TSettings{}, false, "item.html");
  EXPECT_EQ(testing_support::ReadAll("item.html"), BuildStatusPage(List({SampleRow()}), TSettings{}, false));
  EXPECT_FALSE(testing_support::FileExists("item.html.new"));
}

TEST(RenderStatusPage, FailureLeavesTheOldPageAndPropagates) {
  testing_support::ScopedTempDir dir;
  testing_support::WriteAll("item.html", "old page");
  TSettings s;
  s.Font = "not a colour";
  EXPECT_THROW(RenderStatusPage(List({SampleRow()}), s, false, "item.html"), EConvertError);
  EXPECT_EQ(testing_support::ReadAll("item.html"), "old page");

  EXPECT_THROW(RenderStatusPage({}, TSettings{}, false, "missing-folder/item.html"), EFCreateError);
  EXPECT_FALSE(testing_support::FileExists("missing-folder"));
}

}  // namespace
