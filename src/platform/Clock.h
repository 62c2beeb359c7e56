#pragma once
// The local clock, injectable so that the dates a record carries can be fixed in tests and from
// the command line.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace rowcaster {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const LocalTime&) const = default;
};

using Clock = std::function<LocalTime()>;

LocalTime SystemLocalTime();

// A clock that always gives `t`.
Clock FixedClock(LocalTime t);

// "YYYY-MM-DDTHH:MM:SS" (a blank also separates date and time); nothing for anything else,
// including dates that do not exist.
std::optional<LocalTime> ParseLocalTime(std::string_view text);

// "YYYYMMDD".
std::string Yyyymmdd(const LocalTime& t);
// "YYYYMMDDhhmmss".
std::string Yyyymmddhhmmss(const LocalTime& t);

// A time's texts as records carry them, made once a thread for one time: a run writes its clock
// into every record.
struct ClockTexts {
  LocalTime time;
  std::string date;      // Yyyymmdd
  std::string dateTime;  // Yyyymmddhhmmss
};
const ClockTexts& ClockTextsOf(const LocalTime& t);

}  // namespace rowcaster
