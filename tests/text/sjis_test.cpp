#include <gtest/gtest.h>

#include <filesystem>

#include "base/files.h"
#include "base/sjis.h"
#include "base/utf.h"
#include "support/testing.h"

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

TEST(Utf, RoundTripsAndRepairsMalformedInput) {
  std::string s = "a\xC3\xA9\xE6\xBC\xA2\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
  EXPECT_EQ(Utf8ToUtf16("\xE6\xBC"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");  // overlong
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

TEST(Lines, SplitAtEveryKindOfLineEnd) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLines("\n"), (std::vector<std::string>{""}));
}

TEST(Files, ReplaceLeavesNoTemporaryAndOverwrites) {
  testing_support::ScopedTempDir dir;
  ReplaceFileBytes("x.txt", "first\r\n");
  ReplaceFileBytes("x.txt", "second");
  EXPECT_EQ(testing_support::ReadAll("x.txt"), "second");
  EXPECT_FALSE(testing_support::FileExists("x.txt.new"));
  AppendFileBytes("x.txt", "+");
  AppendFileBytes("y.txt", "new");
  EXPECT_EQ(testing_support::ReadAll("x.txt"), "second+");
  EXPECT_EQ(testing_support::ReadAll("y.txt"), "new");
}

TEST(Files, FailedReplaceKeepsTheOldFileAndSaysWhichFile) {
  testing_support::ScopedTempDir dir;
  ReplaceFileBytes("x.txt", "old");
  // A folder in the way of the temporary file makes the write fail.
  std::filesystem::create_directory("x.txt.new");
  try {
    ReplaceFileBytes("x.txt", "new");
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), Sjis("ファイル x.txt を作成できません"));
  }
  EXPECT_EQ(testing_support::ReadAll("x.txt"), "old");
  EXPECT_FALSE(ReadFileBytes("missing.txt").has_value());
  EXPECT_FALSE(ReadFileBytes("x.txt.new").has_value());  // a folder
}

}  // namespace
