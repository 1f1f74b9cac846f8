// The profile file must read and write alike on both systems: this file is built into the
// Linux tests (our own reader and writer) and into the Windows tests (the system's profile
// functions), with the same expectations.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/system.h"
#include "support/testing.h"

namespace {

using platform::ReadProfileString;
using platform::WriteProfileString;
using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::Show;
using testing_support::WriteAll;

std::string TestData(const std::string& name) {
  std::string bytes = ReadAll(testing_support::SourceDir() + "/tests/platform/data/" + name);
  EXPECT_FALSE(bytes.empty()) << "missing test data " << name;
  return bytes;
}

// The hand-edited file as the test's own file, and the path to it.
std::string CopyOfHandEditedFile() {
  const std::string bytes = TestData("profile_read.ini");
  const std::string path = platform::FileInCurrentDirectory("hand.ini");
  WriteAll(path, bytes);
  return path;
}

TEST(ProfileRead, HandEditedFileReadsTheSameOnBothSystems) {
  const std::string original = TestData("profile_read.ini");
  ScopedTempDir dir;
  const std::string ini = CopyOfHandEditedFile();
  auto read = [&](const char* section, const char* key) {
    return ReadProfileString(ini, section, key, "DEF");
  };
  // Blanks around names and values go; names match in any case.
  EXPECT_EQ(read("POP3", "Host"), "mail.example.jp");
  EXPECT_EQ(read("pop3", "USER"), "shop");
  EXPECT_EQ(read("HTML", "Font"), "clWhite");  // "[ HTML ]", tabs around key and value
  // One pair of enclosing quotes goes, the blanks inside stay.
  EXPECT_EQ(read("POP3", "Pass"), "  secret  ");
  EXPECT_EQ(read("FTP", "Target"), "Recent");
  EXPECT_EQ(read("HTML", "Quoted"), "a\"b");
  // Values are text: numbers are not interpreted here.
  EXPECT_EQ(read("POP3", "Port"), "0x6E");
  // The first key of a name wins; a later section of the same name is never searched.
  EXPECT_EQ(read("FTP", "Host"), "ftp.example.jp");
  EXPECT_EQ(read("FTP", "User"), "DEF");
  EXPECT_EQ(read("FTP", "Port"), "DEF");
  // A line without "=" has no value.
  EXPECT_EQ(read("FTP", "a line without an equals sign"), "DEF");
  // Shift-JIS bytes come back as they are, "\" trail bytes included.
  EXPECT_EQ(Show(read("HTML", "AddText")), "<p>一行目</p><CRLF><p>二行目 ソ表</p>");
  EXPECT_EQ(read("Mall", "SearchHost"), "127.0.0.1:8080");
  // Longer values are cut to the longest value.
  EXPECT_EQ(read("HTML", "Long"), std::string(platform::kProfileValueMax, 'L'));
  EXPECT_EQ(read("Missing", "Host"), "DEF");
  EXPECT_EQ(read("POP3", "Missing"), "DEF");
  // Reading never changes the file.
  EXPECT_EQ(ReadAll(ini), original);
}

TEST(ProfileRead, DefaultLosesTrailingSpacesAndQuotes) {
  ScopedTempDir dir;
  const std::string ini = platform::FileInCurrentDirectory("none.ini");
  EXPECT_EQ(ReadProfileString(ini, "S", "k", "NONE  "), "NONE");
  EXPECT_EQ(ReadProfileString(ini, "S", "k", "  lead"), "  lead");
  EXPECT_EQ(ReadProfileString(ini, "S", "k", "\"q\""), "q");
  EXPECT_EQ(ReadProfileString(ini, "S", "k", ""), "");
  EXPECT_FALSE(testing_support::FileExists(ini));
}

TEST(ProfileRead, QuotesAreRemovedOnlyInMatchingPairs) {
  ScopedTempDir dir;
  const std::string ini = platform::FileInCurrentDirectory("q.ini");
  WriteAll(ini,
           "[Q]\r\na=\"quoted\"\r\nb='single'\r\nc=\"open\r\nd='mixed\"\r\ne=\"\"\r\nf=\"\r\n"
           "g= \"in blanks\" \r\nh=x\"y\"\r\n");
  const std::pair<const char*, const char*> cases[] = {
      {"a", "quoted"}, {"b", "single"}, {"c", "\"open"}, {"d", "'mixed\""},
      {"e", ""},       {"f", "\""},     {"g", "in blanks"}, {"h", "x\"y\""},
  };
  for (const auto& [key, expected] : cases) {
    EXPECT_EQ(ReadProfileString(ini, "Q", key, "DEF"), expected) << key;
  }
}

TEST(ProfileRead, CutAtTheLongestValueCountsTheClosingQuote) {
  ScopedTempDir dir;
  const std::string ini = platform::FileInCurrentDirectory("long.ini");
  const size_t max = platform::kProfileValueMax;
  WriteAll(ini, "[L]\r\nfits=\"" + std::string(max - 1, 'a') + "\"\r\n" +
                    "edge=\"" + std::string(max, 'b') + "\"\r\n" +
                    "over=\"" + std::string(max + 10, 'c') + "\"\r\n" +
                    "plain=" + std::string(max, 'd') + "   \r\n");
  EXPECT_EQ(ReadProfileString(ini, "L", "fits", ""), std::string(max - 1, 'a'));
  // The value with its closing quote is one byte too long: the closing quote and the last
  // character go.
  EXPECT_EQ(ReadProfileString(ini, "L", "edge", ""), std::string(max - 1, 'b'));
  EXPECT_EQ(ReadProfileString(ini, "L", "over", ""), std::string(max, 'c'));
  EXPECT_EQ(ReadProfileString(ini, "L", "plain", ""), std::string(max, 'd'));
}

TEST(ProfileWrite, SequenceOfWritesGivesTheSameBytesOnBothSystems) {
  ScopedTempDir dir;
  const std::string ini = platform::FileInCurrentDirectory("fresh.ini");
  const std::string longValue(3000, 'v');
  EXPECT_TRUE(WriteProfileString(ini, "POP3", "Host", "mail.example"));
  EXPECT_TRUE(WriteProfileString(ini, "POP3", "Port", "110"));
  EXPECT_TRUE(WriteProfileString(ini, "FTP", "Host", "ftp.example"));
  EXPECT_TRUE(WriteProfileString(ini, "pop3", "USER", "shop"));  // into the existing section
  EXPECT_TRUE(WriteProfileString(ini, "POP3", "port", "0x6E"));   // updates, keeps "Port"
  EXPECT_EQ(ReadAll(ini),
            "[POP3]\r\nHost=mail.example\r\nPort=0x6E\r\nUSER=shop\r\n"
            "[FTP]\r\nHost=ftp.example\r\n");

  // Leading blanks of a value go when written; trailing ones are written, but the next
  // rewrite of the file drops them.
  EXPECT_TRUE(WriteProfileString(ini, "HTML", "AddText", "  <b>x</b>  "));
  EXPECT_EQ(ReadAll(ini),
            "[POP3]\r\nHost=mail.example\r\nPort=0x6E\r\nUSER=shop\r\n"
            "[FTP]\r\nHost=ftp.example\r\n[HTML]\r\nAddText=<b>x</b>  \r\n");
  EXPECT_TRUE(WriteProfileString(ini, "HTML", "Long", longValue));
  EXPECT_TRUE(WriteProfileString(ini, "HTML", "Kanji", "\x95\x5C\x8E\xA6"));
  EXPECT_EQ(ReadAll(ini),
            "[POP3]\r\nHost=mail.example\r\nPort=0x6E\r\nUSER=shop\r\n"
            "[FTP]\r\nHost=ftp.example\r\n[HTML]\r\nAddText=<b>x</b>\r\n"
            "Long=" + longValue + "\r\nKanji=\x95\x5C\x8E\xA6\r\n");

  // Values are written whole but read back cut.
  EXPECT_EQ(ReadProfileString(ini, "HTML", "Long", ""), longValue.substr(0, 2047));
  EXPECT_EQ(ReadProfileString(ini, "HTML", "Kanji", ""), "\x95\x5C\x8E\xA6");
  EXPECT_EQ(ReadProfileString(ini, "POP3", "Port", ""), "0x6E");
}

TEST(ProfileWrite, UpdatingAHandEditedFileKeepsEverythingElseInOrder) {
  const std::string expected = TestData("profile_updated.ini");
  ScopedTempDir dir;
  const std::string ini = CopyOfHandEditedFile();
  EXPECT_TRUE(WriteProfileString(ini, "POP3", "Port", "110"));
  EXPECT_TRUE(WriteProfileString(ini, "FTP", "Pass", "pw"));  // end of the first [ftp]
  EXPECT_TRUE(WriteProfileString(ini, "POP3", "Host", "mail.example.jp"));
  EXPECT_TRUE(WriteProfileString(ini, "New", "Key", "value"));
  // Comments, lines without "=", duplicates and other sections stay; lines are trimmed,
  // blank lines dropped and every line ends in CR LF.
  EXPECT_EQ(ReadAll(ini), expected);
}

TEST(ProfileWrite, WritingTheStoredValueLeavesTheFileUntouched) {
  const std::string original = TestData("profile_read.ini");
  ScopedTempDir dir;
  const std::string ini = CopyOfHandEditedFile();
  EXPECT_TRUE(WriteProfileString(ini, "pop3", "HOST", "mail.example.jp"));
  EXPECT_TRUE(WriteProfileString(ini, "POP3", "Pass", "\"  secret  \""));  // as stored
  EXPECT_TRUE(WriteProfileString(ini, "HTML", "Font", "  clWhite"));
  EXPECT_EQ(ReadAll(ini), original);
}

TEST(ProfileWrite, FailsWhereNoFileCanBeWritten) {
  ScopedTempDir dir;
  std::filesystem::create_directory("folder.ini");
  const std::string folder = platform::FileInCurrentDirectory("folder.ini");
  EXPECT_FALSE(WriteProfileString(folder, "A", "k", "v"));
  EXPECT_EQ(ReadProfileString(folder, "A", "k", "DEF"), "DEF");

  const std::string inMissingFolder = platform::FileInCurrentDirectory("missing") +
                                      std::string(1, std::filesystem::path::preferred_separator) +
                                      "x.ini";
  EXPECT_FALSE(WriteProfileString(inMissingFolder, "A", "k", "v"));
  EXPECT_FALSE(std::filesystem::exists("missing"));
  // Nothing is left behind beside the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                          std::filesystem::directory_iterator()),
            1);
}

}  // namespace
