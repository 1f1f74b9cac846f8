#include <gtest/gtest.h>

#include <string>

#include "base/sjisliteral.h"
#include "support/testing.h"
#include "text/charset.h"
#include "text/sjismend.h"

namespace {

using namespace std::string_literals;
using testing_support::Show;

std::string ToSjis(std::string text, TCharset charset) {
  ConvertToSjisInPlace(text, charset);
  return text;
}

TEST(CharsetNamed, EveryAliasInAnyCase) {
  struct Case {
    std::string name;
    TCharset charset;
  };
  const Case cases[] = {
      {"UTF-8", TCharset::kUtf8},
      {"utf-8", TCharset::kUtf8},
      {" Utf-8 ", TCharset::kUtf8},
      {"ISO-2022-JP", TCharset::kIso2022Jp},
      {"iso-2022-jp", TCharset::kIso2022Jp},
      {"ISO-2022-JP-1", TCharset::kIso2022Jp},
      {"ISO-2022-JP-3", TCharset::kIso2022Jp},
      {"iso-2022-jp-2004", TCharset::kIso2022Jp},
      {"EUC-JP", TCharset::kEucJp},
      {"x-euc-jp", TCharset::kEucJp},
      {"Shift_JIS", TCharset::kShiftJis},
      {"SHIFT_JIS", TCharset::kShiftJis},
      {"windows-31j", TCharset::kShiftJis},
      {"Windows-31J", TCharset::kShiftJis},
      {"CP932", TCharset::kShiftJis},
      {"MS932", TCharset::kShiftJis},
      {"x-sjis", TCharset::kShiftJis},
      {"SJIS", TCharset::kShiftJis},
      {"us-ascii", TCharset::kUndeclared},
      {"US-ASCII", TCharset::kUndeclared},
      {"", TCharset::kUndeclared},
      {"ISO-2022-JP-2", TCharset::kUndeclared},
      {"utf8x", TCharset::kUndeclared},
      {"koi8-r", TCharset::kUndeclared},
  };
  for (const Case& c : cases) EXPECT_EQ(CharsetNamed(c.name), c.charset) << c.name;
}

// "注文①" in each charset; the declared one decides even where detection would misread.
TEST(ToSjis, TheDeclaredCharsetDecides) {
  const std::string order = Sjis("注文①");
  const auto marks = [](size_t n) { std::string text; while (n--) text += "\x81\xAC"; return text; };  // n "〓"
  struct Case {
    std::string name, text;
    TCharset charset;
    std::string sjis;
  };
  const Case cases[] = {
      {"UTF-8", "注文①", TCharset::kUtf8, order},
      {"ISO-2022-JP", "\x1B$BCmJ8\x1B(B", TCharset::kIso2022Jp, Sjis("注文")},
      {"EUC-JP", "\xC3\xED\xCA\xB8", TCharset::kEucJp, Sjis("注文")},
      {"Shift-JIS stays", order, TCharset::kShiftJis, order},
      // A lying "us-ascii" (kUndeclared) is detected: EUC-JP, JIS and Shift-JIS all read.
      {"lying us-ascii: EUC-JP", "\xB4\xC1\xBB\xFA", TCharset::kUndeclared, Sjis("漢字")},
      {"lying us-ascii: JIS", "\x1B$BCmJ8\x1B(B", TCharset::kUndeclared, Sjis("注文")},
      {"lying us-ascii: Shift-JIS", order, TCharset::kUndeclared, order},
      {"ASCII", "order 1", TCharset::kUndeclared, "order 1"},
      // ISO-2022-JP-2004: JIS X 0213 plane 1 where code page 932 has the place, else the
      // mark; plane 2 only the mark (JIS X 0212: jis0212_test).
      {"JIS X 0213 plane 1", "\x1B$(QCmJ8\x2D\x21\x1B(B", TCharset::kIso2022Jp, Sjis("注文①")},
      {"JIS X 0213 plane 1 addition", "\x1B$(Q\x21\x7F\x7E\x7E\x1B(Bx", TCharset::kIso2022Jp,
       "\x81\xAC\x81\xAC" "x"},
      {"JIS X 0213 plane 2", "\x1B$(P\x21\x21\x1B(Bx", TCharset::kIso2022Jp, "\x81\xAC" "x"},
      {"JIS X 0212", "a\x1B$(D\x30\x21\x1B$BCm\x1B(B", TCharset::kIso2022Jp, "a\x81\xAC" + Sjis("注")},
      // UTF-8: code page 932's extension characters and JIS X 0208 forms map to their codes; what it
      // lacks and each invalid sequence become a mark; NUL and tag characters go.
      {"extension characters, JIS X 0208 forms", "①㈱髙﨑ⅰ～―〓\u301C\u2212\u2016\u00A2\u00A3\u00AC",
       TCharset::kUtf8, "\x87\x40\x87\x8A\xFB\xFC\xFA\xB1\xFA\x40\x81\x60\x81\x5C\x81\xAC"
                        "\x81\x60\x81\x7C\x81\x61\x81\x91\x81\x92\x81\xCA"},
      {"lacking; single bytes", "\U0001F600\u20ACa\uFF71\r", TCharset::kUtf8, marks(2) + "a\xB1\r"},
      {"every length", "a\xC2\xA7花\xF0\x9F\x98\x80z", TCharset::kUtf8, "a\x81\x98" + Sjis("花") + marks(1) + "z"},
      {"NUL dropped, in a short text and among eight plain bytes", "ab\0cdefghij\0k"s, TCharset::kUtf8, "abcdefghijk"},
      {"bytes that never begin", "c\x80\xC0\xAF\xF5\xFF", TCharset::kUtf8, "c" + marks(5)},
      {"cut short by ASCII, a lead byte, the end", "\xE6\xBC" "A\xE3\x81\xE3\x81\x82x\xE6\xBC", TCharset::kUtf8,
       marks(1) + "A" + marks(1) + Sjis("あ") + "x" + marks(1)},
      {"overlong, surrogate, beyond U+10FFFF", "\xE0\x80\xAF\xED\xA0\x80\xF4\x90\x80\x80", TCharset::kUtf8,
       marks(10)},
      {"tag characters dropped", "\xF0\x9F\x8F\xB4\xF3\xA0\x81\xA7\xF3\xA0\x81\xBF\xF3\xA0\x81\x81",
       TCharset::kUtf8, marks(1)},
      {"ASCII and invalid bytes by the word", std::string(26, 'a') + std::string(40, '\xFF'), TCharset::kUtf8,
       std::string(26, 'a') + marks(40)},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(ToSjis(c.text, c.charset)), Show(c.sjis)) << c.name;
  // Undeclared, the same UTF-8 is taken for another code.
  EXPECT_NE(Show(ToSjis("注文①", TCharset::kUndeclared)), Show(order));
}

TEST(ReplaceLoneLeadBytes, OnlyLeadBytesWithoutTrailBecomeTheMark) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"", ""},
      {Sjis("注文①"), Sjis("注文①")},
      {"a\x81", "a\x81\xAC"},
      {"\x81\r\n", "\x81\xAC\r\n"},
      {"\x81,", "\x81\xAC,"},
      {"\xE0\x7F\x81\x40", "\x81\xAC\x7F\x81\x40"},
      {"\x81\x81\x81", "\x81\x81\x81\xAC"},
      {"\x80\xA0\xFD\xB1", "\x80\xA0\xFD\xB1"},  // single bytes, no lead bytes
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    ReplaceLoneLeadBytes(text);
    EXPECT_EQ(Show(text), Show(c.out)) << Show(c.in);
  }
}

}  // namespace
