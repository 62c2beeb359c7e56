#include "platform/data/ValueText.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace rowcaster::data
