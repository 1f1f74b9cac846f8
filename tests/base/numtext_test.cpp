#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/numtext.h"
#include "base/sjisliteral.h"

namespace {

TEST(WholeNumberText, AcceptsDecimalWithSignAndLeadingBlanks) {
  EXPECT_EQ(TryStrToInt("110"), 110);
  EXPECT_EQ(TryStrToInt("  -42"), -42);
  EXPECT_EQ(TryStrToInt("+7"), 7);
  EXPECT_EQ(TryStrToInt("2147483647"), INT32_MAX);
  EXPECT_EQ(TryStrToInt("-2147483648"), INT32_MIN);
}

TEST(WholeNumberText, AcceptsEveryHexPrefixAsA32BitPattern) {
  EXPECT_EQ(TryStrToInt("0x6E"), 110);
  EXPECT_EQ(TryStrToInt("0X6e"), 110);
  EXPECT_EQ(TryStrToInt("$6E"), 110);
  EXPECT_EQ(TryStrToInt("x6E"), 110);
  EXPECT_EQ(TryStrToInt("X6E"), 110);
  EXPECT_EQ(TryStrToInt("$00FFFFFF"), 0xFFFFFF);
  EXPECT_EQ(TryStrToInt("$80000005"), INT32_MIN + 5);
  EXPECT_EQ(TryStrToInt("$FFFFFFFF"), -1);
}

TEST(WholeNumberText, RefusesEverythingElse) {
  for (const char* bad : {"", " ", "yes", "12a", "1 ", "\t1", "-", "+", "$", "0x", "$123456789",
                          "2147483648", "-2147483649", "99999999999999999999", "-$10", "1.5"}) {
    EXPECT_FALSE(TryStrToInt(bad).has_value()) << bad;
  }
}

TEST(WholeNumberText, FailureNamesTheText) {
  try {
    StrToInt("yes");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'yes'" + Sjis(" は整数ではありません"));
  }
  EXPECT_EQ(StrToIntDef("yes", 20), 20);
  EXPECT_EQ(StrToIntDef("0", 20), 0);
}

}  // namespace
