#include "platform/text/Numeric.h"

#include <gtest/gtest.h>

namespace rowcaster::text {
namespace {

TEST(Numeric, ReadsPlainNumbers) {
  const std::pair<const char*, double> yes[] = {
      {"200", 200},  {" 20", 20},   {"20 ", 20},        {"-12", -12},   {"+12", 12}, {"1.5", 1.5},
      {".5", 0.5},   {"5.", 5},     {"1,234.50", 1234.5}, {"9e9", 9e9},  {"1E3", 1000}, {"2005", 2005},
      {" 200", 200}, {"25.00", 25}, {"- 5", -5}, {"1e-2", 0.01}, {"1E+2 ", 100}, {"1,2,3", 123},
  };
  for (const auto& [text, value] : yes) {
    const auto v = ReadNumber(text);
    ASSERT_TRUE(v.has_value()) << text;
    EXPECT_DOUBLE_EQ(*v, value) << text;
    EXPECT_TRUE(ReadsAsNumber(text)) << text;
  }
}

TEST(Numeric, RefusesOtherTexts) {
  for (const char* text : {"", "   ", "1ab", "ab1", "$12", "30元", "1.2.3", "1e", "e5", ",12", "20\r", "-", ".", "1e+",
                           "1 2", "--1", "1.5e2.5", "١٢"}) {
    EXPECT_FALSE(ReadsAsNumber(text)) << '"' << text << '"';
    EXPECT_FALSE(ReadNumber(text).has_value()) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace rowcaster::text
