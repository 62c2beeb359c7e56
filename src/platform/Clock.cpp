#include "platform/Clock.h"

#include <ctime>

namespace rowcaster {

LocalTime SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

Clock FixedClock(LocalTime t) {
  return [t] { return t; };
}

std::optional<LocalTime> ParseLocalTime(std::string_view text) {
  if (text.size() != 19) return std::nullopt;
  auto num = [&](std::size_t pos, std::size_t len, int& out) {
    out = 0;
    for (std::size_t k = pos; k < pos + len; ++k) {
      if (text[k] < '0' || text[k] > '9') return false;
      out = out * 10 + (text[k] - '0');
    }
    return true;
  };
  LocalTime t;
  if (!num(0, 4, t.year) || text[4] != '-' || !num(5, 2, t.month) || text[7] != '-' || !num(8, 2, t.day) ||
      (text[10] != 'T' && text[10] != ' ') || !num(11, 2, t.hour) || text[13] != ':' || !num(14, 2, t.minute) ||
      text[16] != ':' || !num(17, 2, t.second))
    return std::nullopt;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  if (t.month < 1 || t.month > 12) return std::nullopt;
  const int dim = days[t.month - 1] + (t.month == 2 && leap ? 1 : 0);
  if (t.day < 1 || t.day > dim || t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
  return t;
}

namespace {
void Put(std::string& out, int value, int width) {
  char buf[8];
  for (int k = width - 1; k >= 0; --k, value /= 10) buf[k] = static_cast<char>('0' + value % 10);
  out.append(buf, width);
}
}  // namespace

std::string Yyyymmdd(const LocalTime& t) {
  std::string out;
  Put(out, t.year % 10000, 4);
  Put(out, t.month, 2);
  Put(out, t.day, 2);
  return out;
}

std::string Yyyymmddhhmmss(const LocalTime& t) {
  std::string out = Yyyymmdd(t);
  Put(out, t.hour, 2);
  Put(out, t.minute, 2);
  Put(out, t.second, 2);
  return out;
}

const ClockTexts& ClockTextsOf(const LocalTime& t) {
  thread_local ClockTexts texts;
  if (texts.date.empty() || !(texts.time == t)) texts = {t, Yyyymmdd(t), Yyyymmddhhmmss(t)};
  return texts;
}

}  // namespace rowcaster
