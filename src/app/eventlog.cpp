#include "app/eventlog.h"

#include <cstdio>

#include "base/files.h"

namespace {

const char* LogText(int code) {
  switch (code) {
    case kLogConnectionFailed: return "ConnectionFailed";
    case kLogGetCsv: return "GetCSV";
    case kLogGetGz: return "GetGZ";
    case kLogGetGz2: return "GetGZ2";
    case kLogListSetAside: return "ListSetAside";
    default: return "";
  }
}

}  // namespace

std::string FormatLogLine(int code, const platform::LocalDateTime& at) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d/%02d %02d:%02d:%02d", at.month, at.day, at.hour,
                at.minute, at.second);
  return std::string(stamp) + " - " + LogText(code) + "\r\n";
}

void WriteLog(int code, bool houseMachine, const std::string& logPath) {
  if (!houseMachine) return;
  AppendFileBytes(logPath, FormatLogLine(code, platform::LocalNow()));
}
