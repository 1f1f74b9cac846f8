#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/sjisliteral.h"
#include "publish/rowsplit.h"

namespace {

using Fields = std::vector<std::string>;

TEST(SplitRow, ReadsTheEightFieldsOfAListRow) {
  const std::string row = Sjis("10/24　09:05,桜のマグカップ　,mug-001,\"<a href='x' target='_top'>X</a>\",東京都,1200,2,\"<br>4.5<br>レビュー:3件\"");
  EXPECT_EQ(SplitRow(row), (Fields{Sjis("10/24　09:05"), Sjis("桜のマグカップ　"), "mug-001",
                                   "<a href='x' target='_top'>X</a>", Sjis("東京都"), "1200", "2",
                                   Sjis("<br>4.5<br>レビュー:3件")}));
}

TEST(SplitRow, QuotedFieldsKeepBlanksAndCommasAndUndoubleQuotes) {
  EXPECT_EQ(SplitRow("\"a b,c\",d"), (Fields{"a b,c", "d"}));
  EXPECT_EQ(SplitRow("\"say \"\"hi\"\"\",x"), (Fields{"say \"hi\"", "x"}));
  EXPECT_EQ(SplitRow("\"\",x"), (Fields{"", "x"}));
  // An unclosed quote runs to the end of the row.
  EXPECT_EQ(SplitRow("a,\"open"), (Fields{"a", "open"}));
  // Reading goes on right after the closing quote.
  EXPECT_EQ(SplitRow("\"ab\"cd,e"), (Fields{"ab", "cd", "e"}));
}

TEST(SplitRow, BlanksOutsideQuotesEndAFieldAndCommasSeparate) {
  EXPECT_EQ(SplitRow("a b,c"), (Fields{"a", "b", "c"}));
  EXPECT_EQ(SplitRow("a , b"), (Fields{"a", "b"}));
  EXPECT_EQ(SplitRow("a\tb"), (Fields{"a", "b"}));
  EXPECT_EQ(SplitRow("a,,b"), (Fields{"a", "", "b"}));
  EXPECT_EQ(SplitRow(",a"), (Fields{"", "a"}));
  EXPECT_EQ(SplitRow("a,b,"), (Fields{"a", "b"}));
  EXPECT_EQ(SplitRow("  \x01 a"), (Fields{"a"}));
  EXPECT_TRUE(SplitRow("").empty());
  EXPECT_TRUE(SplitRow(" \t ").empty());
}

TEST(SplitRow, FullWidthBlanksAndCommasAreNoSeparators) {
  // "　" is 81 40 and "，" is 81 43: neither byte is a blank or a comma.
  EXPECT_EQ(SplitRow(Sjis("特価　(A)，本体,x")), (Fields{Sjis("特価　(A)，本体"), "x"}));
}

TEST(SplitRow, StepsOverDoubleByteCharactersWhole) {
  // A lead byte followed by a blank: the pair is one (broken) character, not a field end.
  EXPECT_EQ(SplitRow(std::string("a\x82 b,c")), (Fields{"a\x82 b", "c"}));
  // A lead byte at the very end does not read past the text.
  EXPECT_EQ(SplitRow(std::string("a,b\x82")), (Fields{"a", "b\x82"}));
}

TEST(SplitRow, StopsAtTheFirstNul) {
  EXPECT_EQ(SplitRow(std::string("a,b\0,c", 6)), (Fields{"a", "b"}));
  EXPECT_TRUE(SplitRow(std::string("\0a", 2)).empty());
}

}  // namespace
