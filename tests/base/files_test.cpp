#include <gtest/gtest.h>

#include <filesystem>

#include "base/files.h"
#include "support/testing.h"
#include "base/sjisliteral.h"

namespace {

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

TEST(Files, ReplaceRefusesAReadOnlyFileAndLeavesIt) {
  testing_support::ScopedTempDir dir;
  namespace fs = std::filesystem;
  ReplaceFileBytes("list.csv", "kept");
  fs::permissions("list.csv", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  try {
    ReplaceFileBytes("list.csv", "new");
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), Sjis("ファイル list.csv を作成できません"));
  }
  EXPECT_EQ(testing_support::ReadAll("list.csv"), "kept");
  EXPECT_FALSE(testing_support::FileExists("list.csv.new"));
  // Writable again: replaced as before.
  fs::permissions("list.csv", fs::perms::owner_write, fs::perm_options::add);
  ReplaceFileBytes("list.csv", "new");
  EXPECT_EQ(testing_support::ReadAll("list.csv"), "new");
}

}  // namespace
