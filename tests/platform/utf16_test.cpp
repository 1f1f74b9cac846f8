#include <gtest/gtest.h>

#include "platform/utf16.h"

namespace {

TEST(Utf, RoundTripsAndRepairsMalformedInput) {
  std::string s = "a\xC3\xA9\xE6\xBC\xA2\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
  EXPECT_EQ(Utf8ToUtf16("\xE6\xBC"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");  // overlong
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

}  // namespace
