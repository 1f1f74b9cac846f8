#include "app/eventlog.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "base/errors.h"
#include "base/files.h"
#include "support/testing.h"
#include "text/lines.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadAll;
using testing_support::ScopedTempDir;

std::string LogPath() { return platform::FileInCurrentDirectory(kLogFileName); }

TEST(LogLine, StampAndTextForEveryCode) {
  const platform::LocalDateTime at{2026, 10, 24, 9, 5, 33};
  EXPECT_EQ(FormatLogLine(2, at), "10/24 09:05:33 - GetCSV\r\n");
  EXPECT_EQ(FormatLogLine(1, at), "10/24 09:05:33 - ConnectionFailed\r\n");
  EXPECT_EQ(FormatLogLine(3, at), "10/24 09:05:33 - GetGZ\r\n");
  EXPECT_EQ(FormatLogLine(4, at), "10/24 09:05:33 - GetGZ2\r\n");
  EXPECT_EQ(FormatLogLine(5, at), "10/24 09:05:33 - ListSetAside\r\n");
  for (int unknown : {0, 6, -1, 100}) {
    EXPECT_EQ(FormatLogLine(unknown, at), "10/24 09:05:33 - \r\n") << unknown;
  }
}

TEST(LogLine, TwoDigitsAtBothEndsOfTheDay) {
  EXPECT_EQ(FormatLogLine(1, {2027, 1, 2, 0, 0, 0}), "01/02 00:00:00 - ConnectionFailed\r\n");
  EXPECT_EQ(FormatLogLine(1, {2026, 12, 31, 23, 59, 59}),
            "12/31 23:59:59 - ConnectionFailed\r\n");
}

TEST(WriteLog, OutsideTheHouseNothingIsWritten) {
  ScopedTempDir dir;
  WriteLog(1, false, LogPath());
  EXPECT_FALSE(FileExists(LogPath()));

  testing_support::WriteAll(LogPath(), "old\r\n");
  WriteLog(2, false, LogPath());
  EXPECT_EQ(ReadAll(LogPath()), "old\r\n");
}

TEST(WriteLog, FirstEventCreatesTheFileAndLaterOnesAppend) {
  ScopedTempDir dir;
  const platform::LocalDateTime before = platform::LocalNow();
  WriteLog(2, true, LogPath());
  WriteLog(7, true, LogPath());
  const platform::LocalDateTime after = platform::LocalNow();

  const std::vector<std::string> lines = SplitLines(ReadAll(LogPath()));
  ASSERT_EQ(lines.size(), 2u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const int code = i == 0 ? 2 : 7;
    const std::string line = lines[i] + "\r\n";
    EXPECT_TRUE(line == FormatLogLine(code, before) || line == FormatLogLine(code, after))
        << lines[i];
  }
  const std::string bytes = ReadAll(LogPath());
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  EXPECT_EQ(bytes.size(), lines[0].size() + lines[1].size() + 4);  // CR LF after each line
}

TEST(WriteLog, FailureReachesTheCaller) {
  ScopedTempDir dir;
  std::filesystem::create_directory(kLogFileName);
  EXPECT_THROW(WriteLog(1, true, LogPath()), EFCreateError);
}

TEST(EventsLog, AFullLogMovesAsideReplacingTheOlderFile) {
  const std::string line(27, 'x');  // 29 bytes with CR LF
  const long room = kEventsLogMaxBytes - 29;
  // The log's size before (-1: none) and after; the older file's after (7 before).
  for (const auto [before, after, older] :
       {std::array<long, 3>{-1, 29, 7}, {room, kEventsLogMaxBytes, 7}, {room + 1, 29, room + 1}}) {
    ScopedTempDir dir;
    if (before >= 0) testing_support::WriteAll("e.log", std::string(before, 'o'));
    testing_support::WriteAll("e.log.1", "older\r\n");
    AppendEventsLogLine("e.log", line);
    EXPECT_EQ(ReadAll("e.log"), std::string(after - 29, 'o') + line + "\r\n") << before;
    EXPECT_EQ(ReadAll("e.log.1").size(), static_cast<size_t>(older)) << before;
  }
}

}  // namespace
