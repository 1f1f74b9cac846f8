#include "platform/system.h"

#include <windows.h>

namespace platform {

std::string ComputerName() {
  char name[129] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return {};
  return std::string(name, size);
}

std::string CurrentDirectory() {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  if (n == 0 || n > MAX_PATH) return ".";
  std::string s(buf, n);
  // A drive root is reported as "C:\"; the program adds its own backslash.
  if (!s.empty() && s.back() == '\\') s.pop_back();
  return s;
}

std::string FileInCurrentDirectory(std::string_view name) {
  return CurrentDirectory() + "\\" + std::string(name);
}

LocalDateTime LocalNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace platform
