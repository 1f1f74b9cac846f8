#include <gtest/gtest.h>

#include <string>

#include "support/testing.h"
#include "text/cp932.h"
#include "text/jis.h"
#include "text/jis0212table.h"
#include "text/textcode.h"

namespace {

using testing_support::Show;

// A JIS X 0212 character gets the bytes the same character has in UTF-8 mail text, whether
// it comes in ISO-2022-JP-1 (ESC $ ( D) or EUC-JP (8F xx xx); one code page 932 lacks, or
// has only as a single byte, is "〓".
TEST(Jis0212, CharactersCodePage932HasKeepTheirBytesInJisAndEuc) {
  struct Case {
    unsigned char j1, j2;
    std::string utf8;  // the character, empty where there is none
    std::string sjis;
  } cases[] = {
      {0x30, 0x29, "丨", "\xFA\x68"},  // an IBM extension kanji
      {0x45, 0x27, "橆", "\xFA\xEF"},  // one NEC also has in row ED: IBM's code, as from UTF-8
      {0x22, 0x71, "№", "\x87\x82"},   // NEC's row 13
      {0x6F, 0x7E, "", "\x81\xAC"},    // the last cell, unassigned
      {0x30, 0x21, "丂", "\x81\xAC"},  // a kanji code page 932 lacks
      {0x22, 0x37, "~", "\x81\xAC"},   // a tilde, which code page 932 has only as ASCII
      {0x21, 0x21, "", "\x81\xAC"},    // a cell JIS X 0212 leaves empty
      {0x7E, 0x7E, "", "\x81\xAC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Show(c.sjis));
    if (!c.utf8.empty() && c.sjis != kGetaMark) {
      EXPECT_EQ(Show(Utf8ToSjisText(c.utf8)), Show(c.sjis));
    }
    const std::string pair{static_cast<char>(c.j1), static_cast<char>(c.j2)};
    // Between JIS X 0208 pairs, and twice in a row.
    EXPECT_EQ(Show(JisToSjis("a\x1B$B\x34\x41\x1B$(D" + pair + pair + "\x1B$B\x34\x41\x1B(Bz")),
              Show("a\x8A\xBF" + c.sjis + c.sjis + "\x8A\xBF" + "z"));
    const std::string euc{'\x8F', static_cast<char>(c.j1 | 0x80), static_cast<char>(c.j2 | 0x80)};
    std::string text = "a\xB4\xC1" + euc + euc + "\x8E\xB1\xB4\xC1z";
    ConvertKnownCodeInPlace(text, kCodeEuc, kCodeSjis);
    EXPECT_EQ(Show(text), Show("a\x8A\xBF" + c.sjis + c.sjis + "\xB1\x8A\xBF" + "z"));
  }
}

TEST(Jis0212, TableHoldsDoubleByteCodesInTheirUnifiedForm) {
  ASSERT_GT(kJis0212PairCount, 250u);
  for (size_t i = 0; i < kJis0212PairCount; ++i) {
    const TJis0212Pair& pair = kJis0212Pairs[i];
    SCOPED_TRACE(std::to_string(i));
    if (i > 0) {
      EXPECT_LT(kJis0212Pairs[i - 1].jis, pair.jis);
    }
    EXPECT_TRUE((pair.jis >> 8) >= 0x21 && (pair.jis >> 8) <= 0x7E && (pair.jis & 0xFF) >= 0x21 &&
                (pair.jis & 0xFF) <= 0x7E);
    EXPECT_GT(pair.sjis, 0xFF);
    EXPECT_TRUE(IsSjisCodeAssigned(pair.sjis));
    std::string sjis{static_cast<char>(pair.sjis >> 8), static_cast<char>(pair.sjis & 0xFF)};
    const std::string before = sjis;
    UnifySjisCodes(sjis);
    EXPECT_EQ(Show(sjis), Show(before));
  }
}

TEST(Jis0212, EucPairCutShortIsDropped) {
  for (const char* tail : {"\x8F", "\x8F\xB0"}) {
    std::string text = std::string("\xB4\xC1") + tail;
    ConvertKnownCodeInPlace(text, kCodeEuc, kCodeSjis);
    EXPECT_EQ(Show(text), Show("\x8A\xBF")) << Show(tail);
  }
}

}  // namespace
