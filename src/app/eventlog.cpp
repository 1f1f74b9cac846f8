#include "app/eventlog.h"

#include <cstdio>

#include "base/files.h"
#include "platform/filesystem.h"

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

// The file's size in bytes; 0 when it cannot be opened.
long FileSize(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return 0;
  long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : 0;
  std::fclose(file);
  return size < 0 ? 0 : size;
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

void AppendEventsLogLine(const std::string& logPath, const std::string& line) {
  const std::string bytes = line + "\r\n";
  const long size = FileSize(logPath);
  // Compared without adding: what is not a plain file (a folder) can read as the largest size.
  if (size > 0 && size > kEventsLogMaxBytes - static_cast<long>(bytes.size()))
    platform::RenameReplacing(logPath, logPath + ".1");
  AppendFileBytes(logPath, bytes);
}
