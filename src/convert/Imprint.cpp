#include "convert/Imprint.h"

#include <array>

#include "convert/Values.h"
#include "platform/data/ValueText.h"
#include "platform/text/Utf8.h"

namespace rowcaster::convert {
namespace {

bool IsColon(char32_t c) { return c == U':' || c == 0xFF1A; }
bool IsComma(char32_t c) { return c == U',' || c == 0xFF0C; }

std::string Trim(std::string_view s) { return std::string(TrimWide(s)); }

// Byte offset of the first character for which `is` holds, or npos.
template <typename Pred>
std::size_t FindChar(std::string_view s, Pred is, std::size_t from = 0) {
  for (std::size_t i = from; i < s.size();) {
    const std::size_t at = i;
    if (is(text::NextCodePoint(s, i))) return at;
  }
  return std::string_view::npos;
}

template <typename Pred>
std::size_t FindLastChar(std::string_view s, Pred is) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t at = i;
    if (is(text::NextCodePoint(s, i))) last = at;
  }
  return last;
}

std::size_t CharBytesAt(std::string_view s, std::size_t at) {
  std::size_t i = at;
  text::NextCodePoint(s, i);
  return i - at;
}

// "地：社，年" → its parts; false when the value holds no colon.
bool SplitCombined(std::string_view value, Imprint& out) {
  const std::size_t colon = FindChar(value, IsColon);
  if (colon == std::string_view::npos) return false;
  out.place = Trim(value.substr(0, colon));
  std::string_view rest = value.substr(colon + CharBytesAt(value, colon));
  // A date after the last comma, when it holds a year.
  const std::size_t comma = FindLastChar(rest, IsComma);
  if (comma != std::string_view::npos && ParseYear(rest.substr(comma))) {
    out.date = Trim(rest.substr(comma + CharBytesAt(rest, comma)));
    rest = rest.substr(0, comma);
  }
  out.publisher = Trim(rest);
  return true;
}

int DigitOf(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= 0xFF10 && c <= 0xFF19) return static_cast<int>(c - 0xFF10);
  static constexpr std::array<char32_t, 10> kHan = {0x3007, 0x4E00, 0x4E8C, 0x4E09, 0x56DB,
                                                    0x4E94, 0x516D, 0x4E03, 0x516B, 0x4E5D};  // 〇一二…九
  for (int d = 0; d < 10; ++d)
    if (c == kHan[d]) return d;
  if (c == 0x96F6) return 0;  // 零
  return -1;
}

}  // namespace

Imprint SplitImprint(std::string_view place, std::string_view publisher, std::string_view date) {
  Imprint result{Trim(place), Trim(publisher), Trim(date)};
  Imprint combined;
  if (SplitCombined(result.publisher, combined) || SplitCombined(result.place, combined)) {
    const bool placeWasCombined = FindChar(result.place, IsColon) != std::string_view::npos;
    const bool publisherWasCombined = FindChar(result.publisher, IsColon) != std::string_view::npos;
    if (result.place.empty() || placeWasCombined) result.place = combined.place;
    if (result.publisher.empty() || publisherWasCombined) result.publisher = combined.publisher;
    if (result.date.empty()) result.date = combined.date;
  } else if (!result.publisher.empty() && result.date.empty()) {
    // "清华大学出版社，2008"
    const std::size_t comma = FindLastChar(result.publisher, IsComma);
    if (comma != std::string::npos && ParseYear(std::string_view(result.publisher).substr(comma))) {
      result.date = Trim(std::string_view(result.publisher).substr(comma + CharBytesAt(result.publisher, comma)));
      result.publisher = Trim(std::string_view(result.publisher).substr(0, comma));
    }
  }
  return result;
}

namespace {

bool IsYear(int value) { return value >= 1000 && value <= 2999; }

// A run of digits that is a year: four of them, or a year with its month (201510), its month and
// day (20151003), or a time of day too (201510031200, 20151003120000) run together.
std::optional<int> YearOfRun(const std::string& run) {
  if (run.size() != 4 && run.size() != 6 && run.size() != 8 && run.size() != 12 && run.size() != 14)
    return std::nullopt;
  const int year = std::stoi(run.substr(0, 4));
  if (!IsYear(year)) return std::nullopt;
  if (run.size() >= 6) {
    const int month = std::stoi(run.substr(4, 2));
    if (month < 1 || month > 12) return std::nullopt;
  }
  if (run.size() >= 8) {
    const int day = std::stoi(run.substr(6, 2));
    if (day < 1 || day > 31) return std::nullopt;
  }
  return year;
}

// Days since 1899-12-30: a spreadsheet's serial number of the day.
std::int64_t SerialOf(int year, int month, int day) {
  return data::DaysFromCivil(year, month, day) - data::DaysFromCivil(1899, 12, 30);
}

}  // namespace

std::optional<int> ParseYear(std::string_view date) {
  // Runs of digits (ASCII, full-width or Han numerals).
  std::string run;
  for (std::size_t i = 0; i < date.size();) {
    const int d = DigitOf(text::NextCodePoint(date, i));
    if (d >= 0) {
      if (run.size() < 15) run += static_cast<char>('0' + d);
      continue;
    }
    if (const auto y = YearOfRun(run)) return y;
    run.clear();
  }
  return YearOfRun(run);
}

std::optional<int> YearTypedIntoDateCell(std::string_view date) {
  // The readers' form: "YYYY-MM-DD", maybe with a time of day.
  const std::string_view day = date.substr(0, 10);
  if (day.size() != 10 || !day.starts_with("190") || day[4] != '-' || day[7] != '-') return std::nullopt;
  if (date.size() > 10 && date[10] != ' ') return std::nullopt;
  for (const std::size_t k : {3, 5, 6, 8, 9})
    if (day[k] < '0' || day[k] > '9') return std::nullopt;
  const int year = 1900 + (day[3] - '0'), month = (day[5] - '0') * 10 + (day[6] - '0'), dom = (day[8] - '0') * 10 + (day[9] - '0');
  if (month < 1 || month > 12 || dom < 1 || dom > 31) return std::nullopt;
  const std::int64_t serial = SerialOf(year, month, dom);
  if (serial < 1000 || serial > 2100) return std::nullopt;
  return static_cast<int>(serial);
}

std::optional<int> YearOfDateSerial(std::string_view date) {
  const std::string_view t = TrimWide(date);
  if (t.size() != 5 || t.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const int serial = std::stoi(std::string(t));
  // 1927-01-01 to 2099-12-31; a smaller number is no date a book of today was published on.
  if (serial < SerialOf(1927, 1, 1) || serial > SerialOf(2099, 12, 31)) return std::nullopt;
  int year, month, day;
  data::CivilFromDays(serial + data::DaysFromCivil(1899, 12, 30), year, month, day);
  return year;
}

std::optional<int> PublicationYear(std::string_view date, std::vector<Finding>& findings) {
  if (const auto typed = YearTypedIntoDateCell(date)) {
    findings.push_back(MakeFinding(Kind::YearFromSerial, "100 $a", {std::string(date), std::to_string(*typed)}));
    return typed;
  }
  if (const auto serial = YearOfDateSerial(date)) {
    findings.push_back(MakeFinding(Kind::YearFromDateSerial, "100 $a", {std::string(date), std::to_string(*serial)}));
    return serial;
  }
  const std::optional<int> year = ParseYear(date);
  if (!year)
    findings.push_back(date.empty() ? MakeFinding(Kind::NoYear, "100 $a")
                                    : MakeFinding(Kind::DateWithoutYear, "100 $a", {std::string(date)}));
  return year;
}

std::string PublicationDates100(std::optional<int> year) {
  // 100 $a/8, type of publication date: UNIMARC code "u" is "dates of publication unknown", with
  // dates 1 and 2 blank.
  if (!year) return "u        ";
  return "d" + std::to_string(*year) + "    ";
}

}  // namespace rowcaster::convert
