// Dates of mail headers (RFC 822 section 5, RFC 2822 section 3.3).
#pragma once
#include <string_view>

#include "platform/system.h"

// The local date and time of a "Date" value such as "Tue, 1 Oct 2024 12:34:56 +0900":
// an optional day name and comma, day, English month abbreviation, year (two-digit years
// below 50 are 20xx, others 19xx), hours:minutes[:seconds], and a zone: +hhmm or -hhmm,
// UT, GMT, Z, the North American zones EST to PDT, or JST; a missing or unknown zone counts
// as UTC, and a comment in parentheses after it is ignored. A value that cannot be read
// gives the empty date (all fields 0).
platform::LocalDateTime ParseMailDate(std::string_view value);
