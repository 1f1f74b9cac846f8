#include "platform/timezone.h"

#include <windows.h>

namespace platform {

LocalDateTime LocalTimeOf(int64_t unixSeconds) {
  // FILETIME counts 100-nanosecond steps from 1601-01-01 UTC.
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
  ULARGE_INTEGER ticks;
  ticks.QuadPart = static_cast<ULONGLONG>(unixSeconds + kSecondsFrom1601To1970) * 10000000ULL;
  FILETIME ft;
  ft.dwLowDateTime = ticks.LowPart;
  ft.dwHighDateTime = ticks.HighPart;
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return {};
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

}  // namespace platform
