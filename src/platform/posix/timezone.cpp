#include "platform/timezone.h"

#include <time.h>

namespace platform {

LocalDateTime LocalTimeOf(int64_t unixSeconds) {
  time_t t = static_cast<time_t>(unixSeconds);
  struct tm lt {};
  if (!localtime_r(&t, &lt)) return {};
  return {lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec};
}

}  // namespace platform
