#include "platform/text/Gbk.h"
#include "platform/text/Utf8.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

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

// Runs of ASCII of every length from 0 to 20, between and around Han characters and a character
// GBK lacks, encoded as each character alone: the ASCII copied eight bytes at a time where it can.
TEST(Gbk, EncodesAsciiRunsOfEveryLength) {
  for (std::size_t before = 0; before <= 20; ++before)
    for (std::size_t after = 0; after <= 20; after += 3) {
      const std::string a(before, 'a'), b(after, '7');
      const std::string utf8 = a + "书" + b + "ก" + a + "名" + b;
      const std::string gbk = a + "\xCA\xE9" + b + "?" + a + "\xC3\xFB" + b;
      std::string out = "x";
      std::size_t missing = 0;
      ASSERT_TRUE(AppendGbk(out, utf8, &missing)) << before << " " << after;
      EXPECT_EQ(out, "x" + gbk) << before << " " << after;
      EXPECT_EQ(missing, 1u);
      EXPECT_EQ(ToGbk(a + b), a + b);
      // Malformed after a run: nothing is written.
      out = "x";
      EXPECT_FALSE(AppendGbk(out, a + "\xE4\xB8", nullptr)) << before;
      EXPECT_EQ(out, "x");
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

// Three-byte forms on both sides of their limits: E0 must not be overlong, ED must not be a
// surrogate; the other leads take any two continuation bytes, and only those.
TEST(Gbk, ValidatesThreeByteFormsAtTheirLimits) {
  const std::pair<std::string, bool> cases[] = {
      {"\xE0\x9F\xBF", false}, {"\xE0\xA0\x80", true},   // overlong U+07FF; U+0800
      {"\xE1\x80\x80", true},  {"\xEC\xBF\xBF", true},
      {"\xED\x9F\xBF", true},  {"\xED\xA0\x80", false},  // U+D7FF; a surrogate
      {"\xEE\x80\x80", true},  {"\xEF\xBF\xBF", true},   // U+E000; U+FFFF
      {"\xE1\x80", false},      {"a\xEF\xBF", false},       // cut short
      {"\xE1\x80\x41", false}, {"\xE1\xC0\x80", false}, {"\xEF\xBF\xC0", false},
      {"\xF0\x90\x80\x80", true}, {"\xF0\x8F\xBF\xBF", false},
      {"书名书名书名书名书名", true}, {"书名书名书名书名书\xE5", false},
  };
  for (const auto& [s, valid] : cases) {
    EXPECT_EQ(IsValidUtf8(s), valid) << s;
    std::string out;
    EXPECT_EQ(AppendGbk(out, s), valid) << s;  // the encoder decodes the common leads its own way
  }
}

// The encoding table, made from one conversion of the whole plane, holds for each character what
// code page 936 (ICU, with its best-fit mappings) makes of that character converted alone.
TEST(Gbk, EncodesEachCharacterAsTheCodePageDoesAlone) {
  UErrorCode err = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open("windows-936", &err);
  ASSERT_TRUE(U_SUCCESS(err));
  ucnv_setSubstChars(cnv, "?", 1, &err);
  ucnv_setFallback(cnv, true);
  std::size_t lacking = 0;
  for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const UChar u = static_cast<UChar>(cp);
    char out[8];
    err = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(cnv, out, sizeof out, &u, 1, &err);
    const bool none = U_FAILURE(err) || n <= 0 || (n == 1 && out[0] == '?');
    lacking += none;
    std::string one;
    AppendUtf8(one, cp);
    ASSERT_EQ(*ToGbk(one), none ? std::string("?") : std::string(out, static_cast<std::size_t>(n))) << std::hex << static_cast<std::uint32_t>(cp);
  }
  ucnv_close(cnv);
  EXPECT_GT(lacking, 1000u);  // both kinds are there
  EXPECT_LT(lacking, 60000u);
}

// Every character of the Basic Multilingual Plane, alone and between others, encodes to what the
// decoding table reads back as that character, or to "?" counted as missing when GBK lacks it.
TEST(Gbk, EncodesEveryBmpCharacterToWhatDecodesBack) {
  for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string one;
    AppendUtf8(one, cp);
    std::string out;
    std::size_t missing = 0;
    ASSERT_TRUE(AppendGbk(out, "a" + one + "书", &missing)) << std::hex << static_cast<std::uint32_t>(cp);
    ASSERT_EQ(out.substr(0, 1), "a");
    ASSERT_EQ(out.substr(out.size() - 2), "\xCA\xE9");
    const std::string mine = out.substr(1, out.size() - 3);
    if (GbkEncodes(cp)) {
      ASSERT_EQ(missing, 0u) << std::hex << static_cast<std::uint32_t>(cp);
      ASSERT_TRUE(mine.size() == 1 || mine.size() == 2) << std::hex << static_cast<std::uint32_t>(cp);
      const std::string back = FromGbk(mine);
      ASSERT_EQ(back.find("\uFFFD"), std::string::npos) << std::hex << static_cast<std::uint32_t>(cp);
      // A best-fit character may read back as the one it was folded to; the Han block never does.
      if (cp >= 0x4E00 && cp <= 0x9FA5) ASSERT_EQ(back, one) << std::hex << static_cast<std::uint32_t>(cp);
    } else {
      ASSERT_EQ(mine, "?") << std::hex << static_cast<std::uint32_t>(cp);
      ASSERT_EQ(missing, 1u);
    }
  }
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

// Every two-byte character, between ASCII and undefined pairs, decodes as ICU's code page 936
// decodes it alone (an undefined pair as U+FFFD), and a text of all of them at once as the
// characters one by one.
TEST(Gbk, DecodesEveryPairAsCodePage936) {
  UErrorCode err = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open("windows-936", &err);
  ASSERT_TRUE(U_SUCCESS(err));
  std::string all, want;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      UChar u[4];
      err = U_ZERO_ERROR;
      ucnv_reset(cnv);
      const int32_t n = ucnv_toUChars(cnv, u, 4, pair, 2, &err);
      std::string one = U_SUCCESS(err) && n == 1 && u[0] != 0x1A ? std::string() : "\xEF\xBF\xBD";
      if (one.empty()) {
        char utf8[4];
        int32_t len = 0;
        err = U_ZERO_ERROR;
        u_strToUTF8(utf8, 4, &len, u, 1, &err);
        one.assign(utf8, static_cast<std::size_t>(len));
      }
      ASSERT_EQ(FromGbk(std::string_view(pair, 2)), one) << std::hex << lead << " " << trail;
      all.append(pair, 2);
      want += one;
      if (trail % 16 == 0) {  // ASCII between, once in a while
        all += "a1";
        want += "a1";
      }
    }
  }
  ucnv_close(cnv);
  EXPECT_TRUE(FromGbk(all) == want);
  EXPECT_TRUE(FromGbk("x" + all + "\x81") == "x" + want + "\xEF\xBF\xBD");
}

// The one-pass GBK a writer uses stops at the private-use characters, from U+E000 to U+F8FF and
// in the planes 15 and 16, and nowhere else; where it goes on it writes and counts what AppendGbk does.
// A whole text is held when each of its characters is: every character of the BMP alone and
// after an ASCII letter and a Han character, and characters past it.
TEST(Gbk, EncodesAllWhenEachCharacterIs) {
  for (char32_t cp = 1; cp <= 0x10FFFF; cp = cp < 0xFFFF ? cp + 1 : cp + 0x1001) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string one;
    AppendUtf8(one, cp);
    ASSERT_EQ(GbkEncodesAll(one), GbkEncodes(cp)) << std::hex << static_cast<std::uint32_t>(cp);
    ASSERT_EQ(GbkEncodesAll("a书" + one), GbkEncodes(cp)) << std::hex << static_cast<std::uint32_t>(cp);
  }
  EXPECT_TRUE(GbkEncodesAll(""));
  EXPECT_TRUE(GbkEncodesAll("银行会计 ISBN 7-5012"));
  EXPECT_FALSE(GbkEncodesAll("银行\U00020000会计"));
}

// A refused ASCII byte makes the text refused wherever it stands, also at each place of a long
// ASCII run (looked at eight bytes at a time); bytes of both halves of ASCII (below and from 64);
// sets of a few bytes and of more; non-ASCII bytes in the refused list refuse nothing.
TEST(Gbk, EncodesAllRefusesTheGivenAsciiBytes) {
  for (const std::string_view refused : {std::string_view("\r\n\t|"), std::string_view("\r\n\t|~@\xE4")}) {
    for (int b = 1; b < 0x80; ++b) {
      const bool isRefused = refused.find(static_cast<char>(b)) != std::string_view::npos;
      const std::string c(1, static_cast<char>(b));
      for (const std::string& text : {c, "书名" + c, c + "书名", "书" + c + "名 ISBN"})
        ASSERT_EQ(GbkEncodesAll(text, refused), !isRefused) << b << " in " << text;
      const std::string run = "ISBN 978-7-5012-3456-X";
      for (std::size_t at = 0; at <= run.size(); ++at) {
        const std::string text = run.substr(0, at) + c + run.substr(at);
        ASSERT_EQ(GbkEncodesAll(text, refused), !isRefused) << b << " at " << at;
        ASSERT_EQ(GbkEncodesAll("书" + text, refused), !isRefused) << b << " at " << at << " after 书";
      }
    }
    EXPECT_TRUE(GbkEncodesAll("书名（上）", refused));  // its UTF-8 holds 0xE4 but as a lead byte
    EXPECT_TRUE(GbkEncodesAll("ISBN 978-7-5012-3456-X 书名", refused));
    EXPECT_FALSE(GbkEncodesAll("ISBN 978-7-5012-3456-X \U00020000", refused));  // a character GBK lacks
  }
}

TEST(Gbk, UntilPrivateUseStopsOnlyAtPrivateUse) {
  struct Case {
    std::string utf8;
    GbkAppend expected;
  };
  const Case cases[] = {
      {"", GbkAppend::Done},
      {"Book 书名（上）", GbkAppend::Done},  // U+FF08: a lead byte EF, not private use
      {"\uD7FF", GbkAppend::Done},
      {"书\uE000", GbkAppend::PrivateUse},
      {"\uF8FF书", GbkAppend::PrivateUse},
      {"\uF900", GbkAppend::Done},
      {"䶮𠀀•", GbkAppend::Done},  // none in GBK: three "?"
      {"\U000EFFFF", GbkAppend::Done},
      {"\U000F0000", GbkAppend::PrivateUse},
      {"\U0010FFFF", GbkAppend::PrivateUse},
      {"书\xE4\xB8", GbkAppend::Malformed},
  };
  for (const Case& c : cases) {
    std::string out = "kept", plain = "kept";
    std::size_t missing = 7, plainMissing = 7;
    EXPECT_EQ(AppendGbkUntilPrivateUse(out, c.utf8, &missing), c.expected) << c.utf8;
    if (c.expected == GbkAppend::PrivateUse) {
      EXPECT_EQ(out, "kept") << c.utf8;
      EXPECT_EQ(missing, 7u) << c.utf8;
      continue;
    }
    EXPECT_EQ(AppendGbk(plain, c.utf8, &plainMissing), c.expected == GbkAppend::Done) << c.utf8;
    EXPECT_EQ(out, plain) << c.utf8;
    EXPECT_EQ(missing, plainMissing) << c.utf8;
  }
}

}  // namespace
}  // namespace rowcaster::text
