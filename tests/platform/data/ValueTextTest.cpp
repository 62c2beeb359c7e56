#include "platform/data/ValueText.h"

#include <gtest/gtest.h>

#include <tuple>

namespace rowcaster::data {
namespace {

TEST(ValueText, Numbers) {
  const std::pair<double, const char*> cases[] = {
      {9787501234567.0, "9787501234567"}, {25.0, "25"}, {-0.0, "0"}, {0.1, "0.1"}, {444.555, "444.555"},
      {1.0 / 3, "0.3333333333333333"}, {1e21, "1000000000000000000000"}, {-3.25, "-3.25"}, {1e-7, "1e-07"},
  };
  for (const auto& [v, text] : cases) EXPECT_EQ(NumberText(v), text);
}

TEST(ValueText, SerialDates) {
  struct Case {
    double serial;
    bool is1904;
    const char* text;
  };
  const Case cases[] = {
      {44197, false, "2021-01-01"}, {44197.5, false, "2021-01-01 12:00:00"}, {1, false, "1900-01-01"},
      {59, false, "1900-02-28"},    {60, false, "1900-02-29"},              {61, false, "1900-03-01"},
      {0, true, "1904-01-01"},      {42735, true, "2021-01-01"},            {38412.999999, false, "2005-03-02"},
  };
  for (const auto& c : cases) EXPECT_EQ(SerialDateText(c.serial, c.is1904), c.text) << c.serial;
  EXPECT_EQ(DateText(2026, 12, 5), "2026-12-05");
  EXPECT_EQ(DateText(2026, 12, 5, 23, 36, 0), "2026-12-05 23:36:00");
  int y, m, d;
  CivilFromDays(DaysFromCivil(2000, 2, 29), y, m, d);
  EXPECT_EQ(DateText(y, m, d), "2000-02-29");
}

// Which number formats show a date or time, as the .xls and .xlsx readers ask; each id at the
// edges of its run. 27–36 and 50–58 are the built-in date formats of Chinese Excel (yyyy"年"m"月"
// and the like): a sheet made there holds its dates under them and no code of its own.
TEST(ValueText, DateFormats) {
  const std::pair<int, bool> builtIn[] = {
      {0, false},  {1, false},  {13, false}, {14, true},  {17, true},  {22, true},  {23, false}, {26, false},
      {27, true},  {31, true},  {36, true},  {37, false}, {44, false}, {45, true},  {47, true},  {48, false},
      {49, false}, {50, true},  {57, true},  {58, true},  {59, false}, {164, false},
  };
  for (const auto& [id, date] : builtIn) EXPECT_EQ(BuiltInDateFormat(id), date) << id;
  const std::pair<const char*, bool> custom[] = {
      {"yyyy\"年\"m\"月\"d\"日\"", true}, {"yyyy-mm-dd", true}, {"[$-804]yyyy\"年\"m\"月\"", true},
      {"h:mm:ss", true}, {"[h]:mm", true}, {"[ss]", true}, {"[Red]yyyy/m/d", true}, {"\"第\"0\"册\"", false},
      {"0.00\"元\"", false}, {"0.00\\d", false}, {"[Red]0.00", false}, {"0;[Red]-0;yyyy", false},
      {"@", false}, {"General", false}, {"#,##0.00_);(#,##0.00)", false}, {"", false}, {"[h", false},
  };
  for (const auto& [code, date] : custom) EXPECT_EQ(CustomDateFormat(code), date) << code;
}

// A date cell holds a serial; the same day is 1462 less in the 1904 date system.
TEST(ValueText, SerialDatesInBothSystems) {
  const std::tuple<double, double, const char*> days[] = {
      {39569, 38107, "2008-05-01"}, {39569.75, 38107.75, "2008-05-01 18:00:00"}, {61, -1, "1900-03-01"},
      {2958465, 2957003, "9999-12-31"},
  };
  for (const auto& [s1900, s1904, text] : days) {
    EXPECT_EQ(SerialDateText(s1900, false), text) << s1900;
    if (s1904 >= 0) EXPECT_EQ(SerialDateText(s1904, true), text) << s1904;
  }
  EXPECT_EQ(SerialDateText(-1, false), "-1") << "no date before the first";
  EXPECT_EQ(SerialDateText(2958467, false), "2958467") << "no date after 9999";
}

}  // namespace
}  // namespace rowcaster::data
