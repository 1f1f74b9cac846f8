#include <gtest/gtest.h>

#include <string>

#include "base/sjisliteral.h"
#include "support/testing.h"
#include "text/htmltext.h"

namespace {

using testing_support::Show;

// An order notification as shop systems send it as HTML only: a head with a title and a
// style sheet, a table-based layout, indented source lines, references for the blanks and
// the ampersand, numeric references for kana.
const char* const kHtmlOrderMail =
    "<!DOCTYPE html>\r\n"
    "<html><head><meta charset=\"Shift_JIS\"><title>ご注文の確認</title>\r\n"
    "<style type=\"text/css\">\r\n  p { margin: 0 }\r\n  td > b { color: red }\r\n</style>\r\n"
    "<script>if (a < b && c) { document.write('<p>x</p>') }</script>\r\n"
    "</head>\r\n"
    "<body>\r\n"
    "  <!-- header: <p>not text</p> -->\r\n"
    "  <div>[受注番号] 123456-20161024-0000000001</div>\r\n"
    "  <div>[日時]&nbsp;&nbsp;&nbsp;&nbsp; 2016-10-24 09:05:33</div>\r\n"
    "  <p>■ ショップ名 ： 桜&amp;商店</p>\r\n"
    "  <table><tr><td>[注文者] 山田 太郎 様</td></tr>\r\n"
    "  <tr><td>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;〒100-0001 東京都千代田区千代田1-1</td></tr>\r\n"
    "  <tr><td>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;(TEL) 03-1234-5678</td></tr></table>\r\n"
    "  [商品]<br>\r\n"
    "  <b>桜のマグカップ</b> (mug-001)<BR/>\r\n"
    "  価格&nbsp;&nbsp;1,200(円) x 2(個) = 2,400(円)<br />\r\n"
    "  <span style=\"x\">**********</span><br>\r\n"
    "  <ul><li>&#12354;&#x3044;&#X3046;</li><li>&lt;tag&gt; &quot;q&quot; &yen;&copy;</li></ul>\r\n"
    "</body></html>\r\n";

const char* const kOrderText =
    "[受注番号] 123456-20161024-0000000001\r\n"
    "[日時]     2016-10-24 09:05:33\r\n"
    "■ ショップ名 ： 桜&商店\r\n"
    "[注文者] 山田 太郎 様\r\n"
    "         〒100-0001 東京都千代田区千代田1-1\r\n"
    "         (TEL) 03-1234-5678\r\n"
    "[商品]\r\n"
    "桜のマグカップ (mug-001)\r\n"
    "価格  1,200(円) x 2(個) = 2,400(円)\r\n"
    "**********\r\n"
    "あいう\r\n"
    "<tag> \"q\" \\〓\r\n";

TEST(HtmlToText, TagsReferencesAndLineEnds) {
  struct Case {
    std::string name, html, text;
  };
  const Case cases[] = {
      {"an HTML-only order mail becomes the plain order lines", Sjis(kHtmlOrderMail), Sjis(kOrderText)},
      {"line-ending tags in any case", "a<br>b<BR>c</p>d</DIV>e</tr>f</li>g<p>h", "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng" "h"},
      {"other closing tags end nothing", "a</span>b</td>c</h1>d", "abcd"},
      {"source line breaks and indentation are layout", "a\r\n    b\n\tc\rd", "abcd"},
      {"pre keeps its lines", "<pre>a\r\n  b\n</pre>c\r\nd", "a\r\n  b\r\ncd"},
      {"quoted > inside a tag", "<a title=\"x>y\" href='>'>link</a>", "link"},
      {"< that begins no tag", "1 < 2 <3 <", "1 < 2 <3 <"},
      {"unclosed tag drops the rest", "a<div class=\"x", "a"},
      {"unclosed comment drops the rest", "a<!-- b", "a"},
      {"declaration and processing instruction", "<!DOCTYPE html><?xml version=\"1.0\"?>a", "a"},
      {"style content up to its own closing tag", "<STYLE>a</b>c</styles></Style >d", "d"},
      {"script never closed", "a<script>b", "a"},
      {"numeric references", "&#65;&#x42;&#X43;&#12354;&#x2460;", "ABC" + Sjis("あ①")},
      {"numeric reference without ;", "&#65x", "Ax"},
      {"references Shift-JIS lacks", "&#128512;&#xD800;&#0;&#99999999999;&euro;", "\x81\xAC\x81\xAC\x81\xAC\x81\xAC&euro;"},
      {"unknown and malformed references stay", "&bogus; &amp &#; &#x; & a", "&bogus; &amp &#; &#x; & a"},
      {"a comma by reference stays for the caller", "1&#44;200", "1,200"},
      {"Shift-JIS trail bytes are no markup", Sjis("表示ソ<br>"), Sjis("表示ソ") + "\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(HtmlToText(c.html)), Show(c.text)) << c.name;
}

}  // namespace
