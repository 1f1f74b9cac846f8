#include <gtest/gtest.h>

#include <string>

#include "base/errors.h"
#include "base/sjisliteral.h"
#include "text/utf8sjis.h"
#include "support/testing.h"
#include "text/urlencode.h"

namespace {

using namespace std::string_literals;
using testing_support::Show;

TEST(Utf8ToSjis, ConvertsEverySequenceLength) {
  EXPECT_EQ(Utf8ToSjis("abc<a href=\"x\">"), "abc<a href=\"x\">");
  EXPECT_EQ(Utf8ToSjis("\xC2\xA7"), "\x81\x98");           // § two bytes
  EXPECT_EQ(Utf8ToSjis("花屋"), Sjis("花屋"));              // three bytes
  EXPECT_EQ(Utf8ToSjis("\xE2\x80\x95"), "\x81\x5C");       // U+2015 is 81 5C
  EXPECT_EQ(Utf8ToSjis("\xEF\xBD\xB1"), "\xB1");           // half-width katakana
  EXPECT_EQ(Utf8ToSjis("\xF0\x9F\x98\x80"s + "x"), "??x");  // a pair without a Shift-JIS form
  EXPECT_EQ(Utf8ToSjis("a\xE2\x82\xAC" "b"), "a?b");       // euro sign: default character
  EXPECT_EQ(Utf8ToSjis(""), "");
}

TEST(Utf8ToSjis, TakesTheLowBitsOfFollowingBytesUnchecked) {
  // C3 then "A" (41): (03 << 6) + 01 = U+00C1, which has no Shift-JIS form.
  EXPECT_EQ(Utf8ToSjis("\xC3" "A" "z"), "?z");
  // E6 then two bytes whose low six bits spell 漢 (U+6F22 = E6 BC A2): 3C and 22.
  EXPECT_EQ(Utf8ToSjis("\xE6\x3C\x22" "!"), Sjis("漢!"));
}

TEST(Utf8ToSjis, StopsAtZeroAndAtATruncatedEnd) {
  EXPECT_EQ(Utf8ToSjis("ab\0cd"s), "ab");
  // A sequence cut short reads zero bytes: 漢 without its last byte is U+6F00 (no form).
  EXPECT_EQ(Utf8ToSjis("x\xE6\xBC"), "x?");
  EXPECT_EQ(Utf8ToSjis("x\xF0"), "x?");
  // A two-byte zero (C0 80) ends the converted text too.
  EXPECT_EQ(Utf8ToSjis("ab\xC0\x80" "cd"), "ab");
  // After a lead byte its followers are consumed, even a zero byte.
  EXPECT_EQ(Utf8ToSjis("\xC3\0" "ab"s), "?ab");  // U+00C0
}

TEST(Utf8ToSjis, RefusesBytesThatCannotBeginACharacter) {
  for (const std::string& bad : {"\x80"s, "a\xBF"s, "\xF8\x80\x80\x80\x80"s, "x\xFF"s, "\xE6\xBC\xA2\xA2"s}) {
    try {
      Utf8ToSjis(bad);
      ADD_FAILURE() << "accepted " << Show(bad);
    } catch (const EVendlumeError& e) {
      EXPECT_STREQ(e.what(), "UTF-8 Unknown code.");
    }
  }
  // A stray byte behind the first zero is never reached.
  EXPECT_EQ(Utf8ToSjis("ok\0\x80"s), "ok");
}

TEST(SjisToUtf8, EncodesEachUnitAndStopsAtNul) {
  EXPECT_EQ(SjisToUtf8(Sjis("花屋")), "\xE8\x8A\xB1\xE5\xB1\x8B");
  EXPECT_EQ(SjisToUtf8("ab-12"), "ab-12");
  EXPECT_EQ(SjisToUtf8("\x81\x5C"), "\xE2\x80\x95");
  EXPECT_EQ(SjisToUtf8("\xB1"), "\xEF\xBD\xB1");
  EXPECT_EQ(SjisToUtf8("\x81\x98"), "\xC2\xA7");
  EXPECT_EQ(SjisToUtf8("ab\0cd"s), "ab");
  EXPECT_EQ(Utf8ToSjis(SjisToUtf8(Sjis("最新のご注文状況"))), Sjis("最新のご注文状況"));
}

TEST(UrlEncode, KeepsTheSafeSetAndEscapesTheRest) {
  EXPECT_EQ(UrlEncode("AZaz09!$'()*-.@_"), "AZaz09!$'()*-.@_");
  EXPECT_EQ(UrlEncode("a b"), "a+b");
  EXPECT_EQ(UrlEncode("+/?&=#%\"~,:;"), "%2B%2F%3F%26%3D%23%25%22%7E%2C%3A%3B");
  EXPECT_EQ(UrlEncode("\x01\x7F\x80\xFF"), "%01%7F%80%FF");
  EXPECT_EQ(UrlEncode("\0x"s), "%00x");
  EXPECT_EQ(UrlEncode(SjisToUtf8(Sjis("花屋"))), "%E8%8A%B1%E5%B1%8B");
}

}  // namespace
