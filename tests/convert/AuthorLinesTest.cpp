#include <gtest/gtest.h>

#include "TestPaths.h"
#include "convert/Pinyin.h"

namespace rowcaster::convert {
namespace {

const PinyinSource& Pinyin() {
  static const PinyinSource source = PinyinSource::FromFile(test::BuildFile("pinyin.dat"));
  return source;
}

TEST(AuthorLines, OneLinePerPersonWithTheRoleTerm) {
  const std::pair<const char*, const char*> cases[] = {
      {"张三著", "701    |a 张三 |A zhang san |4著\r\n"},
      {"张三编著", "701    |a 张三 |A zhang san |4编著\r\n"},
      {"张三主编,李四", "701    |a 张三 |A zhang san |4主编\r\n701    |a 李四 |A li si |4主编\r\n"},
      {"张三,李四著", "701    |a 李四 |A li si |4著\r\n"},
      {"张三、李四著", "701    |a 张三、李四 |A zhang san li si |4著\r\n"},
      {"张三，李四著", "701    |a 张三，李四 |A zhang san li si |4著\r\n"},
      {"张三著,", "701    |a 张三 |A zhang san |4著\r\n"},
      {"张三著,,", "701    |a 张三 |A zhang san |4著\r\n701    |a  |4著\r\n"},
      {"", ""},
      {"张三", ""},
      {"著", "701    |a  |4著\r\n"},
      {"张三著 ", ""},  // a blank after the term hides it
      {"单田芳撰文,曾国藩译注", "701    |a 单田芳 |A shan tian fang |4撰文\r\n701    |a 曾国藩 |A zeng guo fan |4译注\r\n"},
      {"王五撰,赵六编", "701    |a 王五 |A wang wu |4撰\r\n701    |a 赵六 |A zhao liu |4编\r\n"},
  };
  for (const auto& [statement, lines] : cases) EXPECT_EQ(AuthorLines(statement, Pinyin()), lines) << statement;
}

TEST(AuthorLines, FailsWithoutThePinyinEngine) {
  const PinyinSource none = PinyinSource::FromFile("/nonexistent/pinyin.dat");
  EXPECT_THROW(AuthorLines("张三著", none), ComposeError);
  EXPECT_THROW(AuthorLines("", none), ComposeError);  // an empty statement still has one (empty) name
}

TEST(CutAtNul, KeepsWhatPrecedesTheFirstNul) {
  EXPECT_EQ(CutAtNul(std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(CutAtNul(std::string_view("\0cd", 3)), "");
  EXPECT_EQ(CutAtNul("abc"), "abc");
}

}  // namespace
}  // namespace rowcaster::convert
