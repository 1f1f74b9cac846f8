#include <gtest/gtest.h>

#include "text/lines.h"

namespace {

TEST(Lines, SplitAtEveryKindOfLineEndAndJoinWithCrLf) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLines("\n"), (std::vector<std::string>{""}));
  EXPECT_EQ(JoinLines({"a", "b", "c"}, 1), "b\r\nc\r\n");
  EXPECT_EQ(JoinLines(SplitLines("a\rb\n")), "a\r\nb\r\n");
}

}  // namespace
