#include "platform/text/Gbk.h"

#include <gtest/gtest.h>

namespace rowcaster::text {
namespace {

struct EncodeCase {
  const char* name;
  std::string utf8;
  std::string gbk;
};

TEST(Gbk, EncodesAsCodePage936) {
  const EncodeCase cases[] = {
      {"ascii", "ISBN 7-5012", "ISBN 7-5012"},
      {"chinese", "书名", "\xCA\xE9\xC3\xFB"},
      {"u-umlaut", "lü", "l\xA8\xB9"},
      {"euro is one byte", "€", "\x80"},
      {"fullwidth yen", "￥", "\xA3\xA4"},
      {"middle dot", "·", "\xA1\xA4"},
      {"outside the BMP", "a😀b", "a?b"},
      {"not in GBK", "ก", "?"},
      {"control characters pass", std::string("\x1F\x1E\x1D", 3), std::string("\x1F\x1E\x1D", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto out = ToGbk(c.utf8);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(*out, c.gbk);
    EXPECT_EQ(GbkLength(c.utf8), c.gbk.size());
  }
}

TEST(Gbk, RefusesMalformedUtf8AndLeavesOutputAlone) {
  const std::string bad[] = {"\xC0\xAF", "\xED\xA0\x80", "\xF5\x80\x80\x80", "ab\xE4\xB8", "\x80", "\xE4\xB8\x41"};
  for (const auto& s : bad) {
    EXPECT_FALSE(IsValidUtf8(s)) << s;
    std::string out = "keep";
    EXPECT_FALSE(AppendGbk(out, s));
    EXPECT_EQ(out, "keep");
  }
  EXPECT_TRUE(IsValidUtf8("书名 ü €😀"));
}

TEST(Gbk, DecodesBackToTheSameText) {
  const std::string text = "中华人民共和国 ISBN 978-7-5012 ü € ￥30 《书名》——";
  EXPECT_EQ(FromGbk(*ToGbk(text)), text);
}

TEST(Gbk, DecodingMarksUndefinedBytes) {
  EXPECT_EQ(FromGbk("\xFF"), "\xEF\xA3\xB5");  // code page 936 maps 0xFF to U+F8F5
  EXPECT_EQ(FromGbk("a\x81"), "a\xEF\xBF\xBD");        // lead byte at the end
  EXPECT_EQ(FromGbk("\x81\x30z"), "\xEF\xBF\xBD" "0z");  // bad trail byte is not swallowed
}

}  // namespace
}  // namespace rowcaster::text
