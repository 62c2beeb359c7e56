#include "platform/text/Numeric.h"

#include <gtest/gtest.h>

namespace rowcaster::text {
namespace {

TEST(Numeric, ReadsPlainNumbers) {
  const std::pair<const char*, double> yes[] = {
      {"200", 200},  {" 20", 20},   {"20 ", 20},        {"-12", -12},   {"+12", 12}, {"1.5", 1.5},
      {".5", 0.5},   {"5.", 5},     {"1,234.50", 1234.5}, {"9e9", 9e9},  {"1E3", 1000}, {"2005", 2005},
      {" 200", 200}, {"25.00", 25},
  };
  for (const auto& [text, value] : yes) {
    const auto v = ReadNumber(text);
    ASSERT_TRUE(v.has_value()) << text;
    EXPECT_DOUBLE_EQ(*v, value) << text;
  }
}

TEST(Numeric, RefusesOtherTexts) {
  for (const char* text : {"", "   ", "1ab", "ab1", "$12", "30元", "1.2.3", "1e", "e5", ",12", "20\r", "-", "."})
    EXPECT_FALSE(ReadsAsNumber(text)) << '"' << text << '"';
}

}  // namespace
}  // namespace rowcaster::text
