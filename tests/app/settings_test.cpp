#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "base/errors.h"
#include "base/sjisliteral.h"
#include "platform/system.h"
#include "support/testing.h"

namespace {

using testing_support::ReadAll;
using testing_support::ScopedTempDir;
using testing_support::Show;
using testing_support::WriteAll;

std::string IniPath() { return platform::FileInCurrentDirectory(kSettingsFileName); }

TSettings Loaded() {
  TSettings s;
  LoadSettings(s, IniPath());
  return s;
}

// Settings loaded from a file holding only these lines.
TSettings LoadedFrom(const std::string& fileText) {
  WriteAll(IniPath(), fileText);
  return Loaded();
}

// Every field, for comparing whole settings (AddText shown readably on failure).
auto Fields(const TSettings& s) {
  return std::make_tuple(s.Pop3Host, s.Pop3User, s.Pop3Pass, s.Pop3Port, s.FtpHost, s.FtpUser,
                         s.FtpPass, s.FtpPort, s.Target, s.Font, s.Back, s.HoverFont,
                         s.HoverBack, s.Date, s.Code, s.Review, s.LineLink, s.FadeIn, s.Table,
                         s.Count, s.HinLen, s.GazouSize, Show(s.AddText), s.Mall.SearchHost,
                         s.Mall.ThumbnailHost, s.Mall.ScriptHost, s.Pop3Tls, s.Pop3Fingerprint,
                         s.FtpTls, s.FtpFingerprint, s.NoticeBalloon);
}

// Every value different from its default.
TSettings Changed() {
  TSettings s;
  s.Pop3Host = "pop.example.jp";
  s.Pop3User = "shop";
  s.Pop3Pass = Sjis("パス表");
  s.Pop3Port = 995;
  s.FtpHost = "ftp.example.jp";
  s.FtpUser = "web";
  s.FtpPass = "p=w;d";
  s.FtpPort = 21;
  s.Target = "Latest";
  s.Font = "clRed";
  s.Back = "$00123456";
  s.HoverFont = "clYellow";
  s.HoverBack = "$00ABCDEF";
  s.Date = false;
  s.Code = false;
  s.Review = true;
  s.LineLink = true;
  s.FadeIn = true;
  s.Table = 0;
  s.Count = 5;
  s.HinLen = 30;
  s.GazouSize = 64;
  s.AddText = Sjis("<p>ようこそ</p>\r\n<p>ソ表</p>");
  s.Pop3Tls = 1;
  s.Pop3Fingerprint = "AB:CD";
  s.FtpTls = 2;
  s.FtpFingerprint = "ef01";
  s.NoticeBalloon = false;
  return s;
}

const char kDefaultFile[] =
    "[POP3]\r\nHost=NONE\r\nUser=NONE\r\nPass=NONE\r\nPort=110\r\nTLS=0\r\nFingerprint=\r\n"
    "[FTP]\r\nHost=NONE\r\nUser=NONE\r\nPass=NONE\r\nPort=16910\r\nTarget=Recent\r\n"
    "TLS=0\r\nFingerprint=\r\n"
    "[HTML]\r\nFont=$00FFFFFF\r\nBack=$00000000\r\nHoverFont=$00000000\r\n"
    "HoverBack=$00FFFFFF\r\nDate=1\r\nCode=1\r\nReview=0\r\nLineLink=0\r\nFadeIn=0\r\n"
    "TABLE=600\r\nCount=20\r\nHin_Len=60\r\nGazou_Size=48\r\nAddText=\r\n"
    "[Notice]\r\nBalloon=1\r\n";

TEST(LoadSettings, FirstStartWithoutFileGivesTheDefaults) {
  ScopedTempDir dir;
  TSettings s = Changed();  // whatever was held before: missing keys give the defaults
  LoadSettings(s, IniPath());
  EXPECT_EQ(s.Pop3Host, "NONE");
  EXPECT_EQ(s.Pop3Port, 110);
  EXPECT_EQ(s.FtpHost, "NONE");
  EXPECT_EQ(s.FtpPort, 16910);
  EXPECT_EQ(s.Target, "Recent");
  EXPECT_EQ(s.Table, 600);
  EXPECT_EQ(s.Count, 20);
  EXPECT_EQ(s.Font, "$00FFFFFF");  // white on black
  EXPECT_EQ(s.Back, "$00000000");
  EXPECT_TRUE(s.Date);
  EXPECT_FALSE(s.Review);
  EXPECT_EQ(s.AddText, "");
  EXPECT_EQ(Fields(s), Fields(TSettings{}));
  EXPECT_FALSE(testing_support::FileExists(IniPath()));
}

TEST(SaveSettings, FreshFileHoldsEveryKeyInOrder) {
  ScopedTempDir dir;
  SaveSettings(TSettings{}, IniPath());
  EXPECT_EQ(ReadAll(IniPath()), kDefaultFile);  // no [Mall]: the program never writes it
}

TEST(SaveSettings, EveryValueComesBackAndASecondSaveChangesNoByte) {
  ScopedTempDir dir;
  const TSettings s = Changed();
  SaveSettings(s, IniPath());
  const std::string first = ReadAll(IniPath());
  EXPECT_EQ(Fields(Loaded()), Fields(s));

  SaveSettings(Loaded(), IniPath());
  EXPECT_EQ(ReadAll(IniPath()), first);
}

// Reading trims blanks and removes one pair of enclosing quotes: texts with either at their
// edges must still come back as they were typed, and plain texts stay unquoted in the file.
TEST(SaveSettings, TextsWithBlanksOrQuotesAtTheirEdgesComeBackWhole) {
  const struct {
    std::string text;
    std::string stored;  // as the password's line holds it
  } cases[] = {
      {" pw", "\" pw\""},         {"pw ", "\"pw \""},       {"\tpw", "\"\tpw\""},
      {"\"pw\"", "\"\"pw\"\""}, {"'pw'", "\"'pw'\""},   {"\"", "\""},
      {"'pw\"", "'pw\""},         {"\" \"", "\"\" \"\""},  {"a b", "a b"},
      {"pw'", "pw'"},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    TSettings s;
    s.Pop3Pass = c.text;
    s.FtpUser = c.text;
    s.AddText = c.text + "\r\n" + c.text;
    s.Pop3Fingerprint = c.text;
    SaveSettings(s, IniPath());
    const std::string file = ReadAll(IniPath());
    EXPECT_NE(file.find("\r\nPass=" + c.stored + "\r\n"), std::string::npos) << c.text;
    EXPECT_EQ(Fields(Loaded()), Fields(s)) << c.text;
    SaveSettings(Loaded(), IniPath());
    EXPECT_EQ(ReadAll(IniPath()), file) << c.text;
  }
}

TEST(SaveSettings, ChangesOnlyWhatChangedInAnEditedFile) {
  ScopedTempDir dir;
  const std::string edited =
      "; shop settings\r\n[POP3]\r\nHost=pop.example.jp\r\n[Mall]\r\n"
      "SearchHost=127.0.0.1:8080\r\n[Extra]\r\nKeep=me\r\n";
  WriteAll(IniPath(), edited);
  TSettings s = Loaded();
  EXPECT_EQ(s.Mall.SearchHost, "127.0.0.1:8080");
  s.Mall.SearchHost = "elsewhere";  // never written
  SaveSettings(s, IniPath());
  const std::string saved = ReadAll(IniPath());
  EXPECT_EQ(saved.substr(0, saved.find("User=")),
            "; shop settings\r\n[POP3]\r\nHost=pop.example.jp\r\n");
  EXPECT_NE(saved.find("[Mall]\r\nSearchHost=127.0.0.1:8080\r\n[Extra]\r\nKeep=me\r\n[FTP]"),
            std::string::npos)
      << saved;
  EXPECT_EQ(Loaded().Mall.SearchHost, "127.0.0.1:8080");
}

TEST(LoadSettings, TlsChoicesOutsideTheThreeKindsAreOff) {
  ScopedTempDir dir;
  const struct {
    const char* value;
    int mode;
  } cases[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"0x2", 2}, {"3", 0}, {"-1", 0}, {"yes", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const TSettings s = LoadedFrom(std::string("[POP3]\r\nTLS=") + c.value + "\r\n[FTP]\r\nTLS=" +
                                   c.value + "\r\nFingerprint= AB:CD \r\n");
    EXPECT_EQ(s.Pop3Tls, c.mode);
    EXPECT_EQ(s.FtpTls, c.mode);
    EXPECT_EQ(s.FtpFingerprint, "AB:CD");
    EXPECT_EQ(s.Pop3Fingerprint, "");
  }
}

TEST(LoadSettings, NumbersFollowTheWholeNumberRule) {
  ScopedTempDir dir;
  TSettings s = LoadedFrom("[POP3]\r\nPort=0x6E\r\n[FTP]\r\nPort=$6E\r\n"
                           "[HTML]\r\nTABLE=0\r\nCount=12a\r\nHin_Len= -7 \r\nGazou_Size=\r\n");
  EXPECT_EQ(s.Pop3Port, 110);
  EXPECT_EQ(s.FtpPort, 110);
  EXPECT_EQ(s.Table, 0);
  EXPECT_EQ(s.Count, 20);  // malformed: default
  EXPECT_EQ(s.HinLen, -7);
  EXPECT_EQ(s.GazouSize, 48);  // empty: default
}

TEST(LoadSettings, BooleansAreNumbersAndAnythingElseIsTheDefault) {
  ScopedTempDir dir;
  TSettings s = LoadedFrom("[HTML]\r\nDate=2\r\nCode=yes\r\nReview=yes\r\nLineLink=-1\r\n"
                           "FadeIn=0x0\r\n");
  EXPECT_TRUE(s.Date);
  EXPECT_TRUE(s.Code);     // default true
  EXPECT_FALSE(s.Review);  // default false
  EXPECT_TRUE(s.LineLink);
  EXPECT_FALSE(s.FadeIn);
  s = LoadedFrom("[HTML]\r\nDate=0\r\nCode=0\r\n");
  EXPECT_FALSE(s.Date);
  EXPECT_FALSE(s.Code);
}

TEST(LoadSettings, NamesMatchInAnyCase) {
  ScopedTempDir dir;
  TSettings s = LoadedFrom("[pop3]\r\nhost=pop.example.jp\r\nPORT=25\r\n[html]\r\ntable=0\r\n"
                           "HIN_LEN=10\r\n[MALL]\r\nscripthost=127.0.0.1:81\r\n");
  EXPECT_EQ(s.Pop3Host, "pop.example.jp");
  EXPECT_EQ(s.Pop3Port, 25);
  EXPECT_EQ(s.Table, 0);
  EXPECT_EQ(s.HinLen, 10);
  EXPECT_EQ(s.Mall.ScriptHost, "127.0.0.1:81");

  // Saving updates the keys where they are instead of adding a second section.
  SaveSettings(s, IniPath());
  const std::string saved = ReadAll(IniPath());
  EXPECT_EQ(saved.substr(0, saved.find("[html]")),
            "[pop3]\r\nhost=pop.example.jp\r\nPORT=25\r\nUser=NONE\r\nPass=NONE\r\n"
            "TLS=0\r\nFingerprint=\r\n");
  EXPECT_NE(saved.find("[html]\r\ntable=0\r\nHIN_LEN=10\r\nFont="), std::string::npos);
  EXPECT_EQ(saved.find("[POP3]"), std::string::npos);
  EXPECT_EQ(saved.find("[HTML]"), std::string::npos);
}

TEST(LoadSettings, StringsAreCutTo2047Bytes) {
  ScopedTempDir dir;
  TSettings s = LoadedFrom("[FTP]\r\nTarget=" + std::string(3000, 't') + "\r\n");
  EXPECT_EQ(s.Target, std::string(2047, 't'));
}

TEST(LoadSettings, MallHostsDefaultWhenMissingOrEmpty) {
  ScopedTempDir dir;
  const TMallHosts def;
  TSettings s = LoadedFrom("[Mall]\r\nSearchHost=127.0.0.1:8080\r\nThumbnailHost=\r\n");
  EXPECT_EQ(s.Mall.SearchHost, "127.0.0.1:8080");
  EXPECT_EQ(s.Mall.ThumbnailHost, def.ThumbnailHost);
  EXPECT_EQ(s.Mall.ScriptHost, def.ScriptHost);
}

TEST(AddText, LineBreaksAreStoredOnOneLineAndRestored) {
  ScopedTempDir dir;
  TSettings s;
  s.AddText = "<p>first</p>\r\n<p>second</p>";
  SaveSettings(s, IniPath());
  EXPECT_NE(ReadAll(IniPath()).find("\r\nAddText=<p>first</p><CRLF><p>second</p>\r\n"),
            std::string::npos);
  EXPECT_EQ(Loaded().AddText, s.AddText);
}

TEST(AddText, LoneLineBreaksCannotBreakTheFile) {
  ScopedTempDir dir;
  TSettings s;
  s.AddText = "a\nCount=1\r[x]\r\n\r\nb";
  SaveSettings(s, IniPath());
  EXPECT_NE(ReadAll(IniPath()).find("AddText=a<CRLF>Count=1<CRLF>[x]<CRLF><CRLF>b\r\n"),
            std::string::npos);
  const TSettings back = Loaded();
  EXPECT_EQ(back.AddText, "a\r\nCount=1\r\n[x]\r\n\r\nb");
  EXPECT_EQ(back.Count, 20);
}

TEST(AddText, WrittenMarkReadsBackAsALineBreak) {
  ScopedTempDir dir;
  EXPECT_EQ(LoadedFrom("[HTML]\r\nAddText=<CRLF>a<CRLF><CRLF\r\n").AddText, "\r\na\r\n<CRLF");
}

TEST(SaveSettings, FailureNamesTheFile) {
  ScopedTempDir dir;
  std::filesystem::create_directory(kSettingsFileName);  // where the file should be
  try {
    SaveSettings(Changed(), IniPath());
    FAIL() << "no exception";
  } catch (const EIniFileError& e) {
    EXPECT_EQ(Show(e.what()), IniPath() + " に書き込めません");
  }
  EXPECT_TRUE(std::filesystem::is_directory(kSettingsFileName));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."),
                          std::filesystem::directory_iterator()),
            1);
}

// A save is all or nothing: whatever stops it, the file stays as it was, byte for byte, and
// nothing is left beside it.
TEST(SaveSettings, AFailedSaveLeavesTheFileAsItWas) {
  namespace fs = std::filesystem;
  const std::string edited = "[POP3]\r\nHost=kept.example\r\n[Other]\r\nk=v\r\n";
  struct Case {
    const char* what;
    std::function<void()> prepare, undo;
  } cases[] = {
      {"the file read-only",
       [] { fs::permissions(kSettingsFileName, fs::perms::all, fs::perm_options::remove);
            fs::permissions(kSettingsFileName, fs::perms::owner_read, fs::perm_options::add); },
       [] { fs::permissions(kSettingsFileName, fs::perms::owner_write, fs::perm_options::add); }},
      {"a folder where the new file is written",
       [] { fs::create_directory(std::string(kSettingsFileName) + ".new"); },
       [] { fs::remove(std::string(kSettingsFileName) + ".new"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedTempDir dir;
    WriteAll(IniPath(), edited);
    c.prepare();
    EXPECT_THROW(SaveSettings(Changed(), IniPath()), EIniFileError);
    c.undo();
    EXPECT_EQ(ReadAll(IniPath()), edited);
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
    // Once the cause is gone, the same save writes every key.
    SaveSettings(Changed(), IniPath());
    EXPECT_EQ(Fields(Loaded()), Fields(Changed()));
  }
}

}  // namespace
