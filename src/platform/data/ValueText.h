#pragma once
// How values of every source kind become cell text, the same for workbooks, databases and tables.

#include <cstdint>
#include <string>
#include <string_view>

namespace rowcaster::data {

// Whole numbers without ".0" or exponent (9787501234567); other numbers in the shortest form that
// reads back exactly.
std::string NumberText(double value);

// "YYYY-MM-DD", with " HH:MM:SS" when the time is not midnight.
std::string DateText(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// A spreadsheet date serial (days, fraction = time of day) in the 1900 or 1904 date system.
std::string SerialDateText(double serial, bool dateSystem1904);

// Days since 1970-01-01 to a civil date.
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);
std::int64_t DaysFromCivil(int year, int month, int day);

// Whether a workbook's number format shows a date or time: a built-in format by its number, a
// custom one by its code (a date or time letter outside quoted text, escapes and brackets, in the
// first section; or an elapsed-time bracket).
bool BuiltInDateFormat(int id);
bool CustomDateFormat(std::string_view code);

inline const char* BoolText(bool value) { return value ? "True" : "False"; }

}  // namespace rowcaster::data
