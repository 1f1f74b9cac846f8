#include "platform/locale.h"

#include <windows.h>

namespace platform {

std::string ThousandSeparator() {
  char buf[8] = {};
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, sizeof buf);
  // n counts the terminating NUL; without an answer group like a Japanese system does.
  if (n <= 0) return ",";
  return std::string(buf, static_cast<size_t>(n - 1));
}

}  // namespace platform
