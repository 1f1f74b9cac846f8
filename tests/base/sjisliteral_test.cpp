#include <gtest/gtest.h>

#include "base/sjisliteral.h"

namespace {

TEST(SjisLiterals, UseMicrosoftsMappingBothWays) {
  EXPECT_EQ(Sjis("漢字"), "\x8A\xBF\x8E\x9A");
  EXPECT_EQ(Sjis("　"), "\x81\x40");
  EXPECT_EQ(Sjis("―"), "\x81\x5C");  // U+2015
  EXPECT_EQ(Sjis("～"), "\x81\x60");  // U+FF5E
  EXPECT_EQ(Sjis("ｱ"), "\xB1");
  EXPECT_EQ(SjisToUtf8Text("\x83\x5C"), "ソ");
  EXPECT_EQ(SjisToUtf8Text(Sjis("最新のご注文状況")), "最新のご注文状況");
}

TEST(SjisLiterals, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Sjis("a€b"), "a?b");
  EXPECT_EQ(Sjis("ÿ"), "?");
}

}  // namespace
