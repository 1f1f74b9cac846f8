#include "mail/maildate.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "text/asciitext.h"
#include "platform/timezone.h"

namespace {

std::vector<std::string_view> Tokens(std::string_view s) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] == '(') break;  // a trailing comment, such as "(JST)"
    if (s[i] == ' ' || s[i] == '\t' || s[i] == ',') {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t' && s[j] != ',' && s[j] != '(') ++j;
    out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

std::optional<int> Number(std::string_view s) {
  if (s.empty() || s.size() > 4) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::optional<int> Month(std::string_view s) {
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  for (int m = 0; m < 12; ++m)
    if (EqualsNoCase(s, kMonths[m])) return m + 1;
  return std::nullopt;
}

// Offset east of UTC in minutes.
int ZoneMinutes(std::string_view z) {
  if (z.size() == 5 && (z[0] == '+' || z[0] == '-')) {
    auto hhmm = Number(z.substr(1));
    if (!hhmm) return 0;
    int minutes = *hhmm / 100 * 60 + *hhmm % 100;
    return z[0] == '-' ? -minutes : minutes;
  }
  static const struct {
    const char* name;
    int hours;
  } kZones[] = {{"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5}, {"MST", -7},
                {"MDT", -6}, {"PST", -8}, {"PDT", -7}, {"JST", 9}};
  for (const auto& zone : kZones)
    if (EqualsNoCase(z, zone.name)) return zone.hours * 60;
  return 0;
}

// Days from 1970-01-01 to the date in the proleptic Gregorian calendar.
int64_t DaysFromEpoch(int y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

platform::LocalDateTime ParseMailDate(std::string_view value) {
  std::vector<std::string_view> t = Tokens(value);
  size_t i = 0;
  if (i < t.size() && !Number(t[i])) ++i;  // the day name
  if (t.size() < i + 4) return {};
  auto day = Number(t[i]);
  auto month = Month(t[i + 1]);
  auto year = Number(t[i + 2]);
  std::string_view clock = t[i + 3];
  if (!day || !month || !year) return {};
  int y = *year;
  if (t[i + 2].size() <= 2) y += y < 50 ? 2000 : 1900;
  else if (t[i + 2].size() == 3) y += 1900;

  int hms[3] = {0, 0, 0};
  int parts = 0;
  for (size_t p = 0; parts < 3;) {
    size_t colon = clock.find(':', p);
    auto n = Number(clock.substr(p, colon == std::string_view::npos ? colon : colon - p));
    if (!n) return {};
    hms[parts++] = *n;
    if (colon == std::string_view::npos) break;
    p = colon + 1;
  }
  if (parts < 2 || y < 1900 || *day < 1 || *day > DaysInMonth(y, *month) || hms[0] > 23 ||
      hms[1] > 59 || hms[2] > 60)
    return {};

  int zone = i + 4 < t.size() ? ZoneMinutes(t[i + 4]) : 0;
  int64_t seconds = DaysFromEpoch(y, *month, *day) * 86400 + hms[0] * 3600 + hms[1] * 60 +
                    hms[2] - int64_t{zone} * 60;
  return platform::LocalTimeOf(seconds);
}
