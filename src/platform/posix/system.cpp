#include "platform/system.h"

#include <time.h>
#include <unistd.h>

#include <climits>

namespace platform {

std::string ComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  std::string s(name);
  if (s.size() > 128) s.resize(128);
  return s;
}

std::string CurrentDirectory() {
  char buf[PATH_MAX];
  if (!getcwd(buf, sizeof buf)) return ".";
  std::string s(buf);
  if (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string FileInCurrentDirectory(std::string_view name) {
  std::string dir = CurrentDirectory();
  if (dir == "/") dir.clear();
  return dir + "/" + std::string(name);
}

LocalDateTime LocalNow() {
  time_t now = time(nullptr);
  struct tm t {};
  localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace platform
