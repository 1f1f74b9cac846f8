// The machine's time zone.
#pragma once
#include <cstdint>

#include "platform/system.h"

namespace platform {

// The local date and time of a moment given as seconds since 1970-01-01 00:00 UTC, by the
// zone rules (daylight saving included) that apply at that moment.
LocalDateTime LocalTimeOf(int64_t unixSeconds);

}  // namespace platform
