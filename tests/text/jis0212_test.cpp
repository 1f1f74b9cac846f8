#include <gtest/gtest.h>

#include "support/testing.h"
#include "text/cp932.h"
#include "text/jis.h"
#include "text/jis0212table.h"

namespace {

// A JIS X 0212 character gets the bytes code page 932 gives it from Unicode; one it lacks, or has
// only as a single byte, is "〓". (The EUC-JP form and cut pairs: textcode_blocks_test.)
TEST(Jis0212, CharactersGetTheirCodePage932Bytes) {
  // IBM extension kanji 丨; 橆 (NEC's code too: IBM's is taken); №, NEC's row 13; a tilde (code
  // page 932: only ASCII); an empty cell; the last cell, unassigned.
  EXPECT_EQ(testing_support::Show(JisToSjis("\x1B$(D\x30\x29\x45\x27\x22\x71\x22\x37\x21\x21\x6F\x7E\x1B(B")),
            testing_support::Show("\xFA\x68\xFA\xEF\x87\x82\x81\xAC\x81\xAC\x81\xAC"));
  // The fast conversion searches the table by halves.
  for (size_t i = 0; i < kJis0212PairCount; ++i) {
    EXPECT_TRUE(IsSjisCodeAssigned(kJis0212Pairs[i].sjis)) << i;
    EXPECT_TRUE(i == 0 || kJis0212Pairs[i - 1].jis < kJis0212Pairs[i].jis) << i;
  }
}

}  // namespace
