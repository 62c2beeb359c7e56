#include "platform/text/CodePage.h"

#include <gtest/gtest.h>

namespace rowcaster::text {
namespace {

std::string Le(std::u16string_view units) {
  std::string bytes;
  for (const char16_t u : units) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

// UTF-16 at the edges of each UTF-8 length, surrogate pairs at both ends of their range, lone
// surrogates (U+FFFD), and an odd byte at the end, which is no code unit.
TEST(FromUtf16Le, EachLengthOfUtf8AndTheSurrogates) {
  const std::pair<std::string, std::string> cases[] = {
      {Le(u""), ""},
      {Le(u"\u007F\u0080"), "\u007F\u0080"},
      {Le(u"\u07FF\u0800"), "\u07FF\u0800"},
      {Le(u"\uD7FF\uE000\uFFFF"), "\uD7FF\uE000\uFFFF"},
      {Le(u"书名 Book"), "书名 Book"},
      {Le(u"\U00010000\U0010FFFF"), "\U00010000\U0010FFFF"},
      {Le(std::u16string(1, 0xD800)), "\uFFFD"},
      {Le(std::u16string(1, 0xDC00) + u"a"), "\uFFFDa"},
      {Le(std::u16string{0xD800, u'a'}), "\uFFFDa"},
      {Le(std::u16string{0xDBFF, 0xDBFF, 0xDFFF}), "\uFFFD\U0010FFFF"},
      {Le(u"书") + "x", "书"},
  };
  for (const auto& [bytes, utf8] : cases) EXPECT_EQ(FromUtf16Le(bytes), utf8) << utf8;
}

TEST(FromLatin1, EveryByteIsItsCodePoint) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"ISBN 7-5012", "ISBN 7-5012"}, {"\x7F\x80", "\u007F\u0080"}, {"M\xFCller\xFF", "Müller\u00FF"},
  };
  for (const auto& [bytes, utf8] : cases) EXPECT_EQ(FromLatin1(bytes), utf8) << utf8;
}

}  // namespace
}  // namespace rowcaster::text
