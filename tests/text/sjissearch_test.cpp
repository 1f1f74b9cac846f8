#include <gtest/gtest.h>

#include "base/sjisliteral.h"
#include "text/sjissearch.h"
#include "support/testing.h"

namespace {

using testing_support::Show;

struct PosCase {
  std::string pattern, text;
  size_t start, expected;
};

TEST(PosFrom, FindsFirstMatchAtOrAfterStart) {
  const std::vector<PosCase> cases = {
      {"b", "abcabc", 1, 2},
      {"b", "abcabc", 2, 2},
      {"b", "abcabc", 3, 5},
      {"b", "abcabc", 6, 0},
      {"bc", "abcabc", 5, 5},
      {"c", "abcabc", 6, 6},
      {"x", "abcabc", 1, 0},
      {"cd", "abc", 1, 0},     // pattern runs past the end
      {"a", "abc", 4, 0},      // start one past the end: nothing left to match
      {"a", "abc", 5, 0},      // start further out
      {"a", "abc", 0, 0},      // positions count from 1
      {"", "abc", 1, 0},       // an empty pattern is never found
      {"a", "", 1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PosFrom(c.pattern, c.text, c.start), c.expected)
        << "pattern '" << c.pattern << "' text '" << c.text << "' start " << c.start;
  }
}

TEST(PosFrom, MatchesOnlyAtCharacterStarts) {
  const std::string so = Sjis("ソ");  // 83 5C: its trail byte is a backslash
  ASSERT_EQ(so, "\x83\x5C");
  EXPECT_EQ(PosFrom("\\", so, 1), 0u);
  EXPECT_EQ(PosFrom("\\", so + "\\", 1), 3u);
  // A start inside a character still follows the character boundaries of the whole text.
  EXPECT_EQ(PosFrom("\\", so + "\\", 2), 3u);
  // "ー" is 81 5B, so "ー商品]" holds the bytes of "[商品]" without holding the marker.
  EXPECT_EQ(PosFrom(Sjis("[商品]"), Sjis("[スーパー商品]"), 1), 0u);
  EXPECT_EQ(PosFrom(Sjis("[商品]"), Sjis("ー[商品]"), 1), 3u);
  // Half-width katakana are single bytes.
  EXPECT_EQ(PosFrom("a", Sjis("ｱa"), 1), 2u);
}

TEST(PosFrom, LeadByteAtTheEndIsNeverReadPast) {
  EXPECT_EQ(PosFrom("\\", "ab\x83", 1), 0u);
  EXPECT_EQ(PosFrom("\x83\\", "ab\x83", 1), 0u);
  EXPECT_EQ(PosFrom("\x83", "ab\x83", 3), 3u);
  EXPECT_EQ(CountOccurrences("\\", "\x83"), 0u);
  EXPECT_EQ(TextBetween("a\x83", "a", "\\"), "Error");
}

TEST(PCharPosFrom, ReturnsTheAddressOfTheMatch) {
  const char* text = "abcabc";
  EXPECT_EQ(PCharPosFrom(text, "bc", 0), text + 1);
  EXPECT_EQ(PCharPosFrom(text, "bc", 2), text + 4);
  EXPECT_EQ(PCharPosFrom(text, "x", 0), nullptr);
  EXPECT_EQ(PCharPosFrom(text, "c", 6), nullptr);
  EXPECT_EQ(PCharPosFrom(text, "c", 7), nullptr);
  const std::string so = Sjis("ソ\\");
  EXPECT_EQ(PCharPosFrom(so.c_str(), "\\", 0), so.c_str() + 2);
}

TEST(CountOccurrences, CountsNonOverlappingMatches) {
  const std::string delivery = Sjis("[送付先] ");
  EXPECT_EQ(CountOccurrences(delivery, Sjis("[送付先] 東京\r\n[送付先] 大阪\r\n")), 2u);
  EXPECT_EQ(CountOccurrences(delivery, Sjis("[送付先]\r\n[送付先]東京\r\n")), 0u);
  EXPECT_EQ(CountOccurrences("aa", "aaaa"), 2u);
  EXPECT_EQ(CountOccurrences("aa", "aaa"), 1u);
  EXPECT_EQ(CountOccurrences("", "aaa"), 0u);
}

TEST(FindAllPositions, ListsPositionsInOrderAndReplacesTheList) {
  std::vector<size_t> positions = {99, 98};
  const std::string line = Sjis("特価　(A)　本体　(B-2)");
  EXPECT_EQ(FindAllPositions("(", line, positions), 2u);
  EXPECT_EQ(positions, (std::vector<size_t>{7, 18}));

  EXPECT_EQ(FindAllPositions("x", "abc", positions), 0u);
  EXPECT_TRUE(positions.empty());

  std::string many;
  for (int i = 0; i < 25; ++i) many += "(a)";
  EXPECT_EQ(FindAllPositions(")", many, positions), 25u);
  EXPECT_EQ(positions.front(), 3u);
  EXPECT_EQ(positions.back(), 75u);
}

TEST(TextBetween, CutsBetweenFirstStartAndNextEnd) {
  const std::string priceLine = Sjis("価格  1200(円) x 2(個) = 2400(円)");
  struct Case {
    std::string start, end, expected;
  };
  const std::vector<Case> cases = {
      {Sjis("価格  "), Sjis("(円)"), "1200"},
      {"x ", Sjis("(個)"), "2"},
      {Sjis("送料"), Sjis("(円)"), "Error"},       // start marker absent
      {Sjis("(個)"), "x ", "Error"},               // end marker only before the start
      {Sjis("(円)"), Sjis("(円)"), Sjis(" x 2(個) = 2400")},
      {"x ", "x ", "Error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextBetween(priceLine, c.start, c.end), c.expected)
        << Show(c.start) << " .. " << Show(c.end);
  }
  EXPECT_EQ(TextBetween("ab", "a", "b"), "");
}

}  // namespace
