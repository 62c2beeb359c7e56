#include "platform/data/ValueText.h"

#include <cstring>
#include <string_view>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace rowcaster::data {

std::string NumberText(double value) {
  if (!std::isfinite(value)) return {};
  if (value == std::floor(value)) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", value == 0 ? 0.0 : value);
    return buf;
  }
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::string DateText(int year, int month, int day, int hour, int minute, int second) {
  char buf[48];
  if (hour == 0 && minute == 0 && second == 0) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  } else {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  }
  return buf;
}

std::string SerialDateText(double serial, bool dateSystem1904) {
  if (!std::isfinite(serial) || serial < 0 || serial > 2958466) return NumberText(serial);
  std::int64_t seconds = std::llround(serial * 86400.0);
  std::int64_t dayNumber = seconds / 86400;
  const int secondOfDay = static_cast<int>(seconds % 86400);
  std::int64_t days;  // since 1970-01-01
  if (dateSystem1904) {
    days = DaysFromCivil(1904, 1, 1) + dayNumber;
  } else if (dayNumber == 60) {
    // The 1900 system counts a 29 February 1900 that never was; show it as the sheet does.
    return DateText(1900, 2, 29, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
  } else {
    days = DaysFromCivil(1899, 12, dayNumber > 60 ? 30 : 31) + dayNumber;
  }
  int y, m, d;
  CivilFromDays(days, y, m, d);
  return DateText(y, m, d, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
}

bool BuiltInDateFormat(int id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

// A custom number format shows a date or a time when, outside quoted text, escapes and
// bracketed colours or conditions, it has a date or time letter.
bool CustomDateFormat(std::string_view f) {
  bool quoted = false;
  for (std::size_t i = 0; i < f.size(); ++i) {
    const char c = f[i];
    if (quoted) {
      quoted = c != '"';
      continue;
    }
    if (c == '"') {
      quoted = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      const std::size_t close = f.find(']', i);
      if (close == std::string_view::npos) return false;
      const std::string_view inside = f.substr(i + 1, close - i - 1);
      if (inside == "h" || inside == "hh" || inside == "m" || inside == "mm" || inside == "s" || inside == "ss")
        return true;  // elapsed time
      i = close;
    } else if (c == ';') {
      break;  // the first section decides
    } else if (std::strchr("yYmMdDhHsS", c)) {
      return true;
    }
  }
  return false;
}

}  // namespace rowcaster::data
