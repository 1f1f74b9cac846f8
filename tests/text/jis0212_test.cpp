#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "support/testing.h"
#include "text/cp932.h"
#include "text/jis.h"
#include "text/jis0212table.h"
#include "text/textcode.h"

namespace {

using testing_support::Show;

// A JIS X 0212 character in ISO-2022-JP-1 (ESC $ ( D) or EUC-JP (8F xx xx) gets the bytes it has from UTF-8;
// one code page 932 lacks, or has only as a single byte, is "〓"; an EUC-JP triple cut short by the end (here
// after one or two bytes) is dropped. The table is sorted by JIS code for its search and holds assigned codes.
TEST(Jis0212, JisAndEucGiveTheCodePage932Bytes) {
  const std::tuple<char, char, std::string> cases[] = {
      {0x30, 0x29, "\xFA\x68"}, {0x45, 0x27, "\xFA\xEF"},   // IBM extension kanji 丨, and 橆 (NEC's too: IBM's code)
      {0x22, 0x71, "\x87\x82"}, {0x22, 0x37, "\x81\xAC"},   // №, NEC's row 13; a tilde (code page 932: only ASCII)
      {0x21, 0x21, "\x81\xAC"}, {0x6F, 0x7E, "\x81\xAC"}};  // an empty cell; the last cell, unassigned
  for (const auto& [j1, j2, sjis] : cases) {
    const std::string pair{j1, j2}, euc{'\x8F', static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)};
    EXPECT_EQ(Show(JisToSjis("a\x1B$(D" + pair + pair + "\x1B$B\x34\x41\x1B(B")), Show("a" + sjis + sjis + "\x8A\xBF"));
    std::string text = "a\xB4\xC1" + euc + euc + "\x8E\xB1\xB4\xC1z" + euc.substr(0, j1 % 2 + 1);
    ConvertKnownCodeInPlace(text, kCodeEuc, kCodeSjis);
    EXPECT_EQ(Show(text), Show("a\x8A\xBF" + sjis + sjis + "\xB1\x8A\xBF" + "z")) << Show(sjis);
  }
  for (size_t i = 1; i < kJis0212PairCount; ++i) EXPECT_LT(kJis0212Pairs[i - 1].jis, kJis0212Pairs[i].jis) << i;
  for (size_t i = 0; i < kJis0212PairCount; ++i) EXPECT_TRUE(IsSjisCodeAssigned(kJis0212Pairs[i].sjis)) << i;
}

}  // namespace
